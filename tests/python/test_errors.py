"""Bad input raises a clear exception (ValueError for arguments,
kubelmar.Error for a failed run, with kubelmar-cli's line) and leaves the
Voxelizer usable; warnings go through the warnings module."""

import threading
import time
import warnings

import numpy as np
import pytest

import kubelmar
from conftest import SAMPLES, run_cli


@pytest.fixture
def still_works(voxelizer, l_mesh):
    vertices, faces = l_mesh
    before = voxelizer.voxelize(vertices=vertices, faces=faces, size=8, mode="depth").occupancy.copy()
    yield
    after = voxelizer.voxelize(vertices=vertices, faces=faces, size=8, mode="depth").occupancy
    np.testing.assert_array_equal(before, after)


def l_with(l_mesh, vertices=None, faces=None):
    v, f = l_mesh
    return dict(vertices=v if vertices is None else vertices, faces=f if faces is None else faces)


@pytest.mark.parametrize("change,message", [
    (lambda v, f: dict(vertices=v.astype(str)), "vertices: dtype"),
    (lambda v, f: dict(vertices=v.astype(complex)), "vertices: dtype"),
    (lambda v, f: dict(faces=f.astype(float)), "faces: dtype"),
    (lambda v, f: dict(vertices=v[:, :2]), r"vertices: shape \(\d+, 2\)"),
    (lambda v, f: dict(faces=f.ravel()), "faces: shape"),
    (lambda v, f: dict(vertices=np.where(np.arange(len(v))[:, None] == 5, np.nan, v)),
     "vertices: row 5 is not finite"),
    (lambda v, f: dict(vertices=v * 1e39), "not finite in single precision"),
    (lambda v, f: dict(faces=np.where(f == f.max(), len(v), f)), f"names vertex .*, but there are"),
    (lambda v, f: dict(faces=-f - 1), "names vertex -"),
    (lambda v, f: dict(vertices=v[:0]), "no vertex"),
])
def test_bad_arrays_raise_value_error(voxelizer, l_mesh, still_works, change, message):
    args = l_with(l_mesh, **change(*l_mesh))
    with pytest.raises(ValueError, match=message):
        voxelizer.voxelize(**args, size=8)


@pytest.mark.parametrize("settings,message", [
    (dict(mode="solid"), "mode"),
    (dict(size=0), "size"),
    (dict(size=4097), "size"),
    (dict(size=8.5), "size"),
    (dict(voxel_size=-1.0), "voxel_size"),
    (dict(voxel_size=float("nan")), "voxel_size"),
    (dict(size=8, voxel_size=0.1), "give one"),
    (dict(parity_votes=2), "parity_votes"),
    (dict(colour="rainbow"), "colour"),
    (dict(depth_precision="half"), "depth_precision"),
])
def test_bad_settings_raise_value_error(voxelizer, l_obj, still_works, settings, message):
    with pytest.raises(ValueError, match=message):
        voxelizer.voxelize(l_obj, **settings)


def test_failed_runs_raise_the_command_line_message(voxelizer, cli, tmp_path, still_works):
    cases = [
        (tmp_path / "missing.obj", {}),
        (SAMPLES / "teapot.obj", {"voxel_size": 1e-6}),  # N beyond 4096
    ]
    (tmp_path / "flat.obj").write_text("v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n")
    cases.append((tmp_path / "flat.obj", {}))
    for mesh, settings in cases:
        flags = ["--voxel-size", str(settings["voxel_size"])] if settings else ["--size", "8"]
        status, err = run_cli(cli, mesh, tmp_path / "out", *flags)
        assert status == 1
        with pytest.raises(kubelmar.Error) as raised:
            voxelizer.voxelize(mesh, **(settings or {"size": 8}))
        assert "kubelmar-cli: " + str(raised.value) == err


def test_arrays_without_extent_fail_naming_the_mesh(voxelizer, still_works):
    with pytest.raises(kubelmar.Error, match="^cube: the mesh has no extent"):
        voxelizer.voxelize(vertices=np.ones((3, 3)), faces=[[0, 1, 2]], name="cube", size=8)


def test_warnings_go_through_the_warnings_module(voxelizer, l_mesh):
    vertices, _ = l_mesh
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        vol = voxelizer.voxelize(vertices=vertices, faces=np.zeros((0, 3), int), size=8)
    assert not vol.occupancy.any()
    assert [w.category for w in caught] == [kubelmar.KubelmarWarning]
    assert "the volume is empty" in str(caught[0].message)
    with warnings.catch_warnings():
        warnings.simplefilter("error", kubelmar.KubelmarWarning)
        with pytest.raises(kubelmar.KubelmarWarning):
            voxelizer.voxelize(vertices=vertices, faces=np.zeros((0, 3), int), size=8)


def test_a_second_thread_gets_an_error_then_its_turn(voxelizer, still_works):
    done = threading.Event()
    errors = []

    def long_run():
        voxelizer.voxelize(SAMPLES / "bunny.obj", size=384)
        done.set()

    worker = threading.Thread(target=long_run)
    worker.start()
    while not done.is_set():
        try:
            voxelizer.voxelize(SAMPLES / "teapot.obj", size=8)
        except kubelmar.Error as e:
            errors.append(str(e))
            break
        time.sleep(0.005)
    worker.join()
    assert errors and "in use by another thread" in errors[0]
    # The context follows the calls from thread to thread.
    result = []
    other = threading.Thread(target=lambda: result.append(voxelizer.voxelize(SAMPLES / "teapot.obj", size=8)))
    other.start()
    other.join()
    assert result and result[0].occupancy.any()


def test_voxelizers_live_and_close_independently(l_mesh):
    vertices, faces = l_mesh
    first, second = kubelmar.Voxelizer(), kubelmar.Voxelizer()
    reference = first.voxelize(vertices=vertices, faces=faces, size=8, mode="depth").occupancy
    first.close()
    with pytest.raises(kubelmar.Error, match="closed"):
        first.voxelize(vertices=vertices, faces=faces, size=8)
    # Closing one must not end the GL display the other runs on.
    np.testing.assert_array_equal(second.voxelize(vertices=vertices, faces=faces, size=8, mode="depth").occupancy,
                                  reference)
    with second:
        pass
