"""200 meshes through one Voxelizer: memory and GL objects stop growing
after the first few."""

import gc
import warnings

import numpy as np

import kubelmar
from conftest import SAMPLES


def rss_mib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4096 / 2**20


# At N = 32 a volume that is never freed costs 32 KiB to 128 KiB: 150 of them
# pass the bound several times over.
def test_two_hundred_meshes_do_not_grow_memory_or_gl_objects(voxelizer, l_mesh):
    vertices, faces = l_mesh
    rng = np.random.default_rng(3)
    modes = ["clipping", "depth", "parity"]
    rss, gl = [], []
    warnings.simplefilter("ignore", kubelmar.KubelmarWarning)  # the teapot is open
    for n in range(200):
        if n % 4 == 3:
            vol = voxelizer.voxelize(SAMPLES / "teapot.obj", size=32, mode=modes[n % 3], parity_votes=1)
        else:
            # A different mesh each time: the L moved, scaled and coloured.
            moved = vertices * rng.uniform(0.5, 3.0) + rng.uniform(-10, 10, 3)
            colours = rng.integers(1, 256, size=vertices.shape, dtype=np.uint8)
            vol = voxelizer.voxelize(vertices=moved, faces=faces, colours=colours, size=32, mode=modes[n % 3],
                                     packbits=n % 2 == 0)
        assert vol.filled_voxels > 0
        del vol
        if n % 20 == 19:
            gc.collect()
            rss.append(rss_mib())
            gl.append(voxelizer._live_gl_objects())
    print("RSS MiB every 20 meshes:", " ".join(f"{r:.1f}" for r in rss), "GL objects:", gl)
    assert max(gl[1:]) == gl[0], gl
    assert rss[-1] - rss[1] < 4.0, rss
