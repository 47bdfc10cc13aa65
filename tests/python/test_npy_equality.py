"""The arrays are the npy writer's volume, transposed to [i, j, k]: compared
with kubelmar-cli --format npy on the same mesh and settings, and with
Volume.save through the same writer."""

import json

import numpy as np
import pytest

from conftest import SAMPLES, run_cli


def cli_volume(cli, mesh, out, *options):
    status, err = run_cli(cli, mesh, out, *options)
    assert status == 0, err
    npy = np.load(out / (mesh.stem + ".npy"))
    return npy, json.loads((out / "volume.json").read_text())


def assert_same_as_npy(vol, npy):
    if npy.ndim == 4:  # colour: [k, j, i, rgba]
        np.testing.assert_array_equal(vol.occupancy, npy[..., 3].transpose(2, 1, 0) != 0)
        np.testing.assert_array_equal(vol.colour, npy[..., :3].transpose(2, 1, 0, 3))
    else:
        assert vol.colour is None
        np.testing.assert_array_equal(vol.occupancy, npy.transpose(2, 1, 0) != 0)


@pytest.mark.parametrize("mode,options", [
    ("clipping", {}),
    ("depth", {"depth_precision": "full"}),
    ("parity", {"parity_votes": 3}),
    # --crop is the command line's older name for the box grid.
    ("clipping", {"grid": "box"}),
])
def test_arrays_equal_the_npy_writer(voxelizer, cli, tmp_path, mode, options):
    mesh = SAMPLES / "bunny.obj"
    flags = ["--mode", mode, "--size", "48"]
    if "depth_precision" in options:
        flags += ["--depth-precision", options["depth_precision"]]
    if "parity_votes" in options:
        flags += ["--parity-votes", str(options["parity_votes"])]
    if options.get("grid") == "box":
        flags += ["--crop"]
    npy, meta = cli_volume(cli, mesh, tmp_path / "cli", *flags)
    vol = voxelizer.voxelize(mesh, size=48, mode=mode, **options)

    assert vol.occupancy.shape == tuple(meta["grid"]["dims"])
    assert vol.occupancy.any()
    assert_same_as_npy(vol, npy)
    # The array is a view of the [k, j, i] buffer, not a copy.
    assert vol.occupancy.T.flags["C_CONTIGUOUS"]
    np.testing.assert_allclose(vol.origin, meta["grid"]["origin"], rtol=0, atol=1e-9)
    assert vol.voxel_size == pytest.approx(meta["voxelSize"], rel=1e-6)
    for key in ("mode", "size", "encoding", "filledVoxels", "grid", "stack"):
        assert vol.info[key] == meta[key], key
    assert vol.info["files"] == []

    # save() goes through the same writers: the same bytes, and volume.json alike.
    files = vol.save(tmp_path / "py", formats=["npy"])
    assert files == ["bunny.npy", "volume.json"]
    assert (tmp_path / "py" / "bunny.npy").read_bytes() == (tmp_path / "cli" / "bunny.npy").read_bytes()
    saved = json.loads((tmp_path / "py" / "volume.json").read_text())
    assert saved["filledVoxels"] == meta["filledVoxels"] and saved["grid"] == meta["grid"]


def test_packed_occupancy_is_numpy_packbits(voxelizer):
    mesh = SAMPLES / "teapot.obj"
    full = voxelizer.voxelize(mesh, size=37, mode="depth")  # 37: the last byte of each row is partial
    packed = voxelizer.voxelize(mesh, size=37, mode="depth", packbits=True)
    assert packed.is_packed and packed.packed.shape == (37, 37, 5)
    np.testing.assert_array_equal(packed.packed, np.packbits(full.occupancy, axis=-1))
    np.testing.assert_array_equal(packed.occupancy, full.occupancy)
    assert packed.filled_voxels == full.filled_voxels == int(full.occupancy.sum())


def test_save_writes_every_format_and_edits(voxelizer, tmp_path):
    vol = voxelizer.voxelize(SAMPLES / "teapot.obj", size=24)
    vol.occupancy[0, 0, 0] = True  # a filled voxel with no colour still counts
    files = vol.save(tmp_path, formats="png,binvox,nrrd,npy,vox")
    assert files[0] == "slice100000.png" and len(files) == 24 + 4 + 1 + 1  # voxelscale.txt too
    npy = np.load(tmp_path / "teapot.npy")
    assert npy[0, 0, 0, 3] == 255 and tuple(npy[0, 0, 0, :3]) == (1, 1, 1)
    assert json.loads((tmp_path / "volume.json").read_text())["filledVoxels"] == vol.filled_voxels + 1
    with pytest.raises(ValueError, match="formats"):
        vol.save(tmp_path, formats=["jpeg"])
