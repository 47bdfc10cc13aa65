"""Grids other than the cube: the mesh's box, per-axis voxel edges, and the
axis the saved stack slices along; arrays are shaped by the grid."""

import json

import numpy as np
import pytest

from conftest import L_CELLS


def test_box_grid_is_the_cubes_voxels_over_the_mesh(voxelizer, l_mesh):
    vertices, faces = l_mesh
    cube = voxelizer.voxelize(vertices=vertices, faces=faces, size=16, mode="depth", depth_precision="full")
    box = voxelizer.voxelize(vertices=vertices, faces=faces, size=16, mode="depth", depth_precision="full",
                             grid="box")
    # The L's box [0, 4] x [0, 3] x [0, 2] at 0.25 a voxel, from its low corner.
    assert box.shape == (16, 12, 8)
    assert box.origin == pytest.approx((0.0, 0.0, 0.0))
    assert box.info["shape"] == "box"
    np.testing.assert_array_equal(box.occupancy, cube.occupancy[0:16, 2:14, 4:12])


def test_anisotropic_edges_shape_the_arrays(voxelizer, l_mesh):
    vertices, faces = l_mesh
    vol = voxelizer.voxelize(vertices=vertices, faces=faces, voxel_size=(0.5, 0.25, 1.0), mode="parity")
    assert vol.shape == (8, 12, 2)
    assert vol.voxel_edge == (0.5, 0.25, 1.0)
    assert vol.voxel_size == (0.5, 0.25, 1.0)
    assert vol.info["voxelEdge"] == [0.5, 0.25, 1.0] and vol.info["voxelSize"] is None
    # Every filled centre lies in one of the L's unit cells, and every cell is reached.
    cells = {tuple(c) for c in np.floor(vol.centres()).astype(int)}
    assert cells == {tuple(c) for c in L_CELLS}


def test_slice_axis_sets_the_saved_stack(voxelizer, l_mesh, tmp_path):
    vertices, faces = l_mesh
    vol = voxelizer.voxelize(vertices=vertices, faces=faces, size=8, mode="clipping", grid="box", slice_axis="z")
    assert vol.shape == (8, 6, 4)
    vol.save(tmp_path, ["png"])
    stack = json.loads((tmp_path / "volume.json").read_text())["stack"]
    # Slices up z; width along x, height along y with row 0 at the top.
    assert (stack["slice"], stack["row"], stack["column"]) == ("+z", "-y", "+x")
    assert (stack["slices"], stack["width"], stack["height"]) == (4, 8, 6)
    assert len(list(tmp_path.glob("slice1*.png"))) == 4


@pytest.mark.parametrize("settings, message", [
    (dict(voxel_size=(1.0, 2.0)), "three"),
    (dict(voxel_size=(1.0, -2.0, 1.0)), "positive"),
    (dict(grid="sphere"), "grid"),
    (dict(slice_axis="w"), "slice_axis"),
])
def test_bad_grid_settings_raise_value_error(voxelizer, l_mesh, settings, message):
    vertices, faces = l_mesh
    with pytest.raises(ValueError, match=message):
        voxelizer.voxelize(vertices=vertices, faces=faces, **settings)
