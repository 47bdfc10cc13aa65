#!/usr/bin/python3
"""The Python module side by side with Open3D and with kubelmar-cli.

    PYTHONPATH=build/python bench/bench_python.py [--build build] [--mesh FILE] [--quick]

1. Open3D's VoxelGrid.create_from_triangle_mesh (Debian python3-open3d) and
   kubelmar.Voxelizer (clipping mode: both give surface voxels) at 32 and 64
   voxels along the mesh's longest side; Kubelmar also at 128, 256, 512.
2. How far the voxel sets agree: Open3D run again within the bounds of
   Kubelmar's cropped grid (the same algorithm on the same voxels), so that
   both sets are counted on one grid.
3. A volume from Python against kubelmar-cli --format npy writing it, both
   timed here, in turns (the machine may be shared: ratios, not absolutes).
4. RSS and GL objects over 200 meshes through one Voxelizer.

--quick leaves out Open3D at 64 (about 2.5 minutes per run on 2 cores).
The mesh defaults to ../shared/meshes/gargoyle_vc.obj, else samples/bunny.obj.
"""

import argparse
import gc
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

HERE = Path(__file__).resolve().parent.parent


def rss_mib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4096 / 2**20


def timed(fn, repeat=1):
    times, result = [], None
    for _ in range(repeat):
        start = time.perf_counter()
        result = fn()
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


def open3d_peer(mesh_path, sizes, kubelmar_grids):
    try:
        import open3d as o3d
    except ImportError:
        print("Open3D: not installed (Debian: python3-open3d); peer skipped")
        return
    mesh = o3d.io.read_triangle_mesh(str(mesh_path))
    extent = float(np.max(mesh.get_max_bound() - mesh.get_min_bound()))
    print(f"Open3D {o3d.__version__}: {len(mesh.vertices)} vertices, {len(mesh.triangles)} triangles")
    for n in sizes:
        vs = extent / n
        t, grid = timed(lambda: o3d.geometry.VoxelGrid.create_from_triangle_mesh(mesh, vs))
        print(f"  N={n:4d}  create_from_triangle_mesh {t:8.2f} s  {len(grid.get_voxels())} voxels")
        # Agreement on Kubelmar's own grid.
        vol = kubelmar_grids[n]
        origin = np.asarray(vol.origin)
        high = origin + np.asarray(vol.shape) * vol.voxel_size
        # Open3D tests voxel index p against the box centred on
        # min_bound + p * voxel_size (not + (p + 0.5) * voxel_size, the centre
        # its get_voxel_center_coordinate reports): moving min_bound by half a
        # voxel makes the boxes it tests Kubelmar's voxels.
        half = vol.voxel_size / 2
        t2, grid2 = timed(lambda: o3d.geometry.VoxelGrid.create_from_triangle_mesh_within_bounds(
            mesh, vol.voxel_size, origin + half, high + half))
        ours = vol.occupancy
        theirs = np.zeros_like(ours)
        idx = np.array([v.grid_index for v in grid2.get_voxels()]).reshape(-1, 3)
        inside = np.all((idx >= 0) & (idx < np.asarray(ours.shape)), axis=1)
        theirs[tuple(idx[inside].T)] = True
        both = int((ours & theirs).sum())
        only_k, only_o = int((ours & ~theirs).sum()), int((~ours & theirs).sum())
        # How far the extra voxels lie from the other set (in voxels, Chebyshev).
        def ring(a, b):
            grown = b.copy()
            for axis in range(3):
                grown |= np.roll(b, 1, axis) | np.roll(b, -1, axis)
            return int((a & ~b & ~grown).sum())
        print(f"           within Kubelmar's grid   {t2:8.2f} s  agreement: both {both}, Kubelmar only {only_k}, "
              f"Open3D only {only_o}, Jaccard {both / max(1, both + only_k + only_o):.3f}; "
              f"more than one voxel (face-adjacent) away from the other set: Kubelmar {ring(ours, theirs)}, "
              f"Open3D {ring(theirs, ours)}")


def cli_vs_python(cli, voxelizer, mesh_path, sizes, rounds):
    print(f"Python vs kubelmar-cli --format npy (clipping; median of {rounds}, in turns)")
    for n in sizes:
        cli_times, py_times, cli_inner = [], [], []
        with tempfile.TemporaryDirectory() as out:
            for _ in range(rounds):
                start = time.perf_counter()
                done = subprocess.run([cli, "-q", "--timings", "--format", "npy", "-s", str(n), str(mesh_path), out],
                                      capture_output=True, text=True, check=True)
                cli_times.append(time.perf_counter() - start)
                # The command line's own steps, without process and GL start.
                steps = {}
                for line in done.stderr.splitlines():
                    if line.startswith("time: "):
                        label, seconds = line[6:].rsplit(" ", 1)
                        steps[label] = float(seconds)
                cli_inner.append(sum(s for label, s in steps.items() if label != "Starting OpenGL"))
                start = time.perf_counter()
                vol = voxelizer.voxelize(mesh_path, size=n)
                py_times.append(time.perf_counter() - start)
                del vol
        c, p, ci = statistics.median(cli_times), statistics.median(py_times), statistics.median(cli_inner)
        print(f"  N={n:4d}  cli {c:7.3f} s (its steps without GL start {ci:7.3f} s)  python {p:7.3f} s  "
              f"python/cli {p / c:5.2f}  python/cli-steps {p / ci:5.2f}")


def reuse_curve(voxelizer, mesh_path):
    import kubelmar
    import warnings
    warnings.simplefilter("ignore", kubelmar.KubelmarWarning)
    rng = np.random.default_rng(1)
    points = []
    start = time.perf_counter()
    for n in range(200):
        if n % 2:
            vol = voxelizer.voxelize(mesh_path, size=64, mode=("clipping", "depth", "parity")[n % 3])
        else:
            v = rng.normal(size=(300, 3))
            f = rng.integers(0, 300, size=(500, 3))
            vol = voxelizer.voxelize(vertices=v, faces=f, size=64, mode=("clipping", "depth", "parity")[n % 3])
        del vol
        if n in (0, 4, 9, 19) or n % 40 == 39:
            gc.collect()
            points.append((n + 1, rss_mib(), voxelizer._live_gl_objects()))
    print(f"200 meshes at N=64 through one Voxelizer, {time.perf_counter() - start:.1f} s; "
          "(meshes, RSS MiB, GL objects):")
    print("  " + "  ".join(f"({m}, {r:.1f}, {g})" for m, r, g in points))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(HERE / "build"))
    parser.add_argument("--mesh", default=None)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--no-open3d", action="store_true")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    sys.path.insert(0, str(Path(args.build) / "python"))
    import kubelmar

    mesh = Path(args.mesh) if args.mesh else HERE.parent / "shared" / "meshes" / "gargoyle_vc.obj"
    if not mesh.exists():
        mesh = HERE / "samples" / "bunny.obj"
    cli = str(Path(args.build) / "cli" / "kubelmar-cli")
    print(f"mesh: {mesh}; machine: {os.cpu_count()} cores, load average {os.getloadavg()[0]:.1f} at start")

    voxelizer = kubelmar.Voxelizer()
    print(f"Kubelmar on {voxelizer.renderer}")
    grids = {}
    for n in (32, 64, 128, 256, 512):
        voxelizer.voxelize(mesh, size=n)  # warm: mesh files in the page cache, GL objects sized
        t, vol = timed(lambda: voxelizer.voxelize(mesh, size=n, crop=True), repeat=args.rounds)
        grids[n] = vol
        print(f"  N={n:4d}  kubelmar clipping {t:8.3f} s  {vol.filled_voxels} voxels  cropped grid {vol.shape}")

    if not args.no_open3d:
        open3d_peer(mesh, (32,) if args.quick else (32, 64), grids)
    cli_vs_python(cli, voxelizer, mesh, (128, 256, 512), args.rounds)
    reuse_curve(voxelizer, mesh)
    print(f"load average at end {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
