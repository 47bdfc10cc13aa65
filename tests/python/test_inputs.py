"""Arrays in give the volume the same mesh gives from a file."""

import numpy as np
import pytest

from conftest import SAMPLES, write_obj


def read_obj(path):
    v, f = [], []
    for line in open(path):
        if line.startswith("v "):
            v.append([float(x) for x in line.split()[1:4]])
        elif line.startswith("f "):
            f.append([int(x.split("/")[0]) - 1 for x in line.split()[1:4]])
    return np.array(v), np.array(f)


def assert_same_volume(a, b):
    np.testing.assert_array_equal(a.occupancy, b.occupancy)
    if a.colour is None:
        assert b.colour is None
    else:
        np.testing.assert_array_equal(a.colour, b.colour)
    assert a.origin == b.origin and a.voxel_size == b.voxel_size


@pytest.mark.parametrize("mode", ["clipping", "depth", "parity"])
def test_arrays_equal_the_file(voxelizer, mode):
    vertices, faces = read_obj(SAMPLES / "bunny.obj")
    from_file = voxelizer.voxelize(SAMPLES / "bunny.obj", size=40, mode=mode)
    # float32 vertices and uint32 faces, as mesh libraries hand them out.
    from_arrays = voxelizer.voxelize(vertices=vertices.astype(np.float32), faces=faces.astype(np.uint32),
                                     size=40, mode=mode)
    assert_same_volume(from_file, from_arrays)


def test_colours_in_either_range_equal_vc_lines(voxelizer, l_mesh, tmp_path):
    vertices, faces = l_mesh
    rng = np.random.default_rng(7)
    bytes_ = rng.integers(30, 256, size=(len(vertices), 3), dtype=np.uint8)
    unit = bytes_ / 255.0
    obj = write_obj(tmp_path / "coloured.obj", vertices, faces, unit)
    from_file = voxelizer.voxelize(obj, size=20, colour="vertex")
    for colours in (unit, bytes_, bytes_.astype(np.float64)):
        from_arrays = voxelizer.voxelize(vertices=vertices, faces=faces, colours=colours, size=20, colour="vertex")
        assert_same_volume(from_file, from_arrays)
    # The colours reach the voxels: not the white of an uncoloured mesh.
    assert (from_file.colour[from_file.occupancy] < 250).any()


def test_one_call_form_and_path_objects(l_obj):
    import kubelmar
    a = kubelmar.voxelize(l_obj, size=12, mode="depth")
    b = kubelmar.voxelize(str(l_obj), size=12, mode="depth")
    assert_same_volume(a, b)
    assert a.info["source"] == str(l_obj)
    # voxel_size chooses N: the L's longest side is 4.
    assert kubelmar.voxelize(l_obj, voxel_size=0.5, mode="depth").size == 8
