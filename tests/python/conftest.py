"""Shared pieces of the Python module's tests: the module (skipped where no
GL context can be made), the command line to compare with, small meshes."""

import os
import subprocess
from pathlib import Path

import numpy as np
import pytest

kubelmar = pytest.importorskip("kubelmar")

SAMPLES = Path(os.environ.get("KUBELMAR_SAMPLES_DIR", Path(__file__).resolve().parents[2] / "samples"))
CLI = os.environ.get("KUBELMAR_CLI", "")


@pytest.fixture(scope="session")
def voxelizer():
    try:
        v = kubelmar.Voxelizer()
    except kubelmar.Error as e:
        pytest.skip(f"no headless GL: {e}")
    yield v
    v.close()


@pytest.fixture(scope="session")
def cli():
    if not CLI or not Path(CLI).exists():
        pytest.skip("KUBELMAR_CLI not set to a built kubelmar-cli")
    return CLI


def run_cli(cli_path, mesh, out, *options):
    """kubelmar-cli writing npy into `out`; returns (exit status, stderr)."""
    done = subprocess.run([cli_path, "-q", "--format", "npy", *options, str(mesh), str(out)],
                          capture_output=True, text=True)
    return done.returncode, done.stderr.strip()


def cubes_mesh(cells):
    """The closed surface of a union of unit cubes (integer cells (x, y, z)):
    outward faces between filled and empty cells, vertices shared."""
    cells = set(map(tuple, cells))
    index, vertices, faces = {}, [], []

    def vertex(p):
        if p not in index:
            index[p] = len(vertices)
            vertices.append(p)
        return index[p]

    for c in cells:
        for axis in range(3):
            for side in (0, 1):
                n = list(c)
                n[axis] += 1 if side else -1
                if tuple(n) in cells:
                    continue
                u, w = [a for a in range(3) if a != axis]
                corners = []
                for du, dw in ((0, 0), (1, 0), (1, 1), (0, 1)):
                    p = list(c)
                    p[axis] += side
                    p[u] += du
                    p[w] += dw
                    corners.append(vertex(tuple(p)))
                # (u, w, axis) is right-handed for axis 0 and 2 (y,z,x / x,y,z) and left for 1 (x,z,y).
                outward = (side == 1) == (axis != 1)
                a, b, cc, d = corners if outward else corners[::-1]
                faces += [(a, b, cc), (a, cc, d)]
    return np.array(vertices, dtype=np.float64), np.array(faces, dtype=np.int64)


def write_obj(path, vertices, faces, colours=None):
    with open(path, "w") as f:
        for n, v in enumerate(vertices):
            f.write("v %r %r %r\n" % tuple(float(x) for x in v))
            if colours is not None:
                f.write("vc %r %r %r\n" % tuple(float(x) for x in colours[n]))
        for t in faces:
            f.write("f %d %d %d\n" % tuple(int(i) + 1 for i in t))
    return path


# An L in three dimensions, no two legs alike: 4 cells along +x, 3 along +y,
# 2 along +z from the corner cell. Any flipped or swapped axis moves a leg.
L_CELLS = [(x, 0, 0) for x in range(4)] + [(0, y, 0) for y in range(1, 3)] + [(0, 0, z) for z in range(1, 2)]


@pytest.fixture(scope="session")
def l_mesh():
    return cubes_mesh(L_CELLS)


@pytest.fixture(scope="session")
def l_obj(tmp_path_factory, l_mesh):
    vertices, faces = l_mesh
    return write_obj(tmp_path_factory.mktemp("l") / "l.obj", vertices, faces)
