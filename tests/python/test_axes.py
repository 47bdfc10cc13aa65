"""The axis convention on an asymmetric L: index [i, j, k] runs along the
mesh's +x, +y, +z, and voxel (i, j, k) covers origin + [i, i + 1] * voxel_size."""

import numpy as np
import pytest

from conftest import L_CELLS


def inside_l(points):
    cells = np.floor(points).astype(int)
    inside = np.zeros(len(points), bool)
    for c in L_CELLS:
        inside |= np.all(cells == c, axis=1)
    return inside


def expected(vol):
    """Per voxel: True inside the L, False outside, None where a neighbour
    disagrees (the surface passes through or beside it)."""
    n = vol.shape
    ijk = np.stack(np.meshgrid(*[np.arange(d) for d in n], indexing="ij"), -1).reshape(-1, 3)
    centres = np.asarray(vol.origin) + (ijk + 0.5) * vol.voxel_size
    inside = inside_l(centres).reshape(n)
    padded = np.pad(inside, 1)  # beyond the grid is outside the mesh
    same = np.ones(n, bool)
    for d in np.ndindex(3, 3, 3):
        same &= padded[d[0]:d[0] + n[0], d[1]:d[1] + n[1], d[2]:d[2] + n[2]] == inside
    return inside, same


@pytest.mark.parametrize("mode", ["depth", "parity"])
def test_solid_l_lands_where_the_mesh_is(voxelizer, l_mesh, mode):
    vertices, faces = l_mesh
    vol = voxelizer.voxelize(vertices=vertices, faces=faces, size=16, mode=mode, depth_precision="full")
    # The box [0, 4] x [0, 3] x [0, 2] centred in a cube of side 4.
    np.testing.assert_allclose(vol.origin, (0.0, -0.5, -1.0), atol=1e-6)
    assert vol.voxel_size == pytest.approx(0.25)
    inside, clear = expected(vol)
    np.testing.assert_array_equal(vol.occupancy[clear], inside[clear])
    # Each leg's tip, by index: x reaches i = 15, y reaches j = 13, z reaches k = 11.
    occ = vol.occupancy
    assert occ[15, 3, 5] and not occ[3, 15, 5] and not occ[3, 3, 15]
    assert occ[1, 13, 5] and not occ[13, 1, 5]
    assert occ[1, 3, 11] and not occ[1, 3, 2]


def test_clipping_shell_follows_the_l(voxelizer, l_mesh):
    vertices, faces = l_mesh
    vol = voxelizer.voxelize(vertices=vertices, faces=faces, size=16, mode="clipping")
    inside, clear = expected(vol)
    # A shell: nothing deep inside or far outside, and every leg's end cap is there.
    assert not vol.occupancy[clear].any()
    occ = vol.occupancy
    assert occ[15, 2:6, 4:8].all()    # the +x cap at x = 4
    assert occ[0:4, 13, 4:8].all()    # the +y cap at y = 3
    assert occ[0:4, 2:6, 11].all()    # the +z cap at z = 2
    assert vol.colour[occ].min() > 0 and not vol.colour[~occ].any()


def test_crop_keeps_positions(voxelizer, l_mesh):
    vertices, faces = l_mesh
    full = voxelizer.voxelize(vertices=vertices, faces=faces, size=16, mode="depth")
    cropped = voxelizer.voxelize(vertices=vertices, faces=faces, size=16, mode="depth", crop=True)
    assert cropped.shape == (16, 12, 8)
    first = cropped.info["grid"]["firstVoxel"]
    assert first == [0, 2, 4]
    np.testing.assert_allclose(cropped.origin, np.asarray(full.origin) + np.asarray(first) * 0.25, atol=1e-9)
    np.testing.assert_array_equal(cropped.occupancy, full.occupancy[0:16, 2:14, 4:12])
