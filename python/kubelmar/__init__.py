"""Kubelmar from Python: triangle meshes to NumPy voxel arrays on a headless GL context.

    import kubelmar
    vol = kubelmar.voxelize("bunny.obj", size=128, mode="depth")
    vol.occupancy            # bool (nx, ny, nz), index [i, j, k] along +x, +y, +z
    vol.save("out/bunny", formats=["npy", "binvox"])

For many meshes, keep one Voxelizer: it holds one GL context for all of them.
"""

from __future__ import annotations

import json
import math
import os
import threading
import warnings
from typing import Optional, Sequence, Tuple, Union

import numpy as np

from . import _kubelmar
from ._kubelmar import Error

__all__ = ["Error", "KubelmarWarning", "Volume", "Voxelizer", "voxelize", "__version__"]

__version__ = "0.1.0"

_MODES = ("clipping", "depth", "parity")
_PRECISIONS = ("byte", "full")
_COLOUR_SOURCES = ("auto", "texture", "material", "vertex")


class KubelmarWarning(UserWarning):
    """A warning of a load or a run (skipped faces, an empty volume, an open mesh)."""


class Volume:
    """One voxelized mesh. Arrays are views of the volume's own memory (no copy).

    occupancy   bool (nx, ny, nz), index [i, j, k] along the mesh's +x, +y, +z
    packed      uint8 (nx, ny, ceil(nz / 8)): numpy.packbits(occupancy, axis=-1)
    colour      uint8 (nx, ny, nz, 3) in the clipping mode, else None
    origin      low corner of voxel (0, 0, 0), mesh units
    voxel_edge  edge of a voxel along x, y, z, mesh units
    voxel_size  the edge of a cubic voxel (a float), or voxel_edge where they differ
    info        volume.json's content as a dict

    Voxel (i, j, k) covers origin + [i, i + 1] * voxel_edge[0] along x (alike y, z).
    The volume holds one of occupancy and packed (as asked with packbits=);
    asking for the other computes it, as a new array.
    """

    __slots__ = ("_data", "_info")

    def __init__(self, data: "_kubelmar._VolumeData") -> None:
        self._data = data
        self._info = None

    @property
    def occupancy(self) -> np.ndarray:
        if self._data.packed:
            return np.unpackbits(self._data.occupancy, axis=-1, count=self.shape[2]).astype(bool)
        return self._data.occupancy

    @property
    def packed(self) -> np.ndarray:
        if self._data.packed:
            return self._data.occupancy
        return np.packbits(self._data.occupancy, axis=-1)

    @property
    def is_packed(self) -> bool:
        return self._data.packed

    @property
    def colour(self) -> Optional[np.ndarray]:
        return self._data.colour

    color = colour

    @property
    def shape(self) -> Tuple[int, int, int]:
        return tuple(self._data.dims)

    @property
    def origin(self) -> Tuple[float, float, float]:
        return tuple(self._data.origin)

    @property
    def voxel_edge(self) -> Tuple[float, float, float]:
        return tuple(self._data.voxel_edge)

    @property
    def voxel_size(self) -> Union[float, Tuple[float, float, float]]:
        edge = self.voxel_edge
        if edge[0] == edge[1] == edge[2]:
            return self._data.voxel_size or edge[0]
        return edge

    @property
    def size(self) -> int:
        return self._data.size

    @property
    def mode(self) -> str:
        return self._data.mode

    @property
    def filled_voxels(self) -> int:
        return self._data.filled

    @property
    def info(self) -> dict:
        if self._info is None:
            self._info = json.loads(self._data.info_json(__version__))
        return self._info

    def centres(self) -> np.ndarray:
        """Mesh-space centres of the filled voxels, (count, 3) float64."""
        ijk = np.argwhere(self.occupancy)
        return np.asarray(self.origin) + (ijk + 0.5) * np.asarray(self.voxel_edge)

    def save(self, directory: Union[str, os.PathLike], formats: Sequence[str] = ("png",)) -> list:
        """Writes the volume as kubelmar-cli --format would: the same writers,
        the same atomic output folder, volume.json last. Returns the file names.

        formats: any of "png", "binvox", "nrrd", "npy", "vox", "vdb".
        The arrays are written as they are now (edits included).
        """
        if isinstance(formats, str):
            formats = [f.strip() for f in formats.split(",")]
        return self._data.save(os.fspath(directory), list(formats), __version__)

    def __repr__(self) -> str:
        nx, ny, nz = self.shape
        edge = "x".join(f"{e:g}" for e in self.voxel_edge)
        return (f"<kubelmar.Volume {self.mode} N={self.size} {nx}x{ny}x{nz} "
                f"filled={self.filled_voxels} voxel_edge={edge}>")


def _choice(name: str, value: str, allowed: Sequence[str]) -> str:
    if not isinstance(value, str) or value not in allowed:
        raise ValueError(f"{name}: {value!r} is not one of {', '.join(allowed)}")
    return value


def _edges(voxel_size):
    """voxel_size as three edges: a number for all three, or (sx, sy, sz)."""
    if voxel_size is None:
        return [0.0, 0.0, 0.0]
    values = voxel_size if isinstance(voxel_size, (tuple, list, np.ndarray)) else [voxel_size]
    if len(values) not in (1, 3):
        raise ValueError(f"voxel_size: {voxel_size!r} is not one length or three (x, y, z)")
    edges = []
    for value in values:
        try:
            edge = float(value)
        except (TypeError, ValueError):
            raise ValueError(f"voxel_size: {voxel_size!r} is not a number") from None
        if not (math.isfinite(edge) and edge > 0):
            raise ValueError(f"voxel_size: {voxel_size!r} is not a positive finite length")
        edges.append(edge)
    return edges * 3 if len(edges) == 1 else edges


def _request(size, voxel_size, mode, depth_precision, parity_votes, colour, crop, packbits, grid="cube",
             slice_axis=None):
    _choice("mode", mode, _MODES)
    _choice("grid", grid, ("cube", "box"))
    if slice_axis is not None:
        _choice("slice_axis", slice_axis, ("x", "y", "z"))
    _choice("depth_precision", depth_precision, _PRECISIONS)
    _choice("colour", colour, _COLOUR_SOURCES)
    if size is not None and voxel_size is not None:
        raise ValueError("size and voxel_size: give one of them (voxel_size chooses N)")
    if size is None:
        size = 512
    if isinstance(size, bool) or not isinstance(size, (int, np.integer)) or not 1 <= size <= _kubelmar.max_voxel_size():
        raise ValueError(f"size: {size!r} is not a whole number in 1..{_kubelmar.max_voxel_size()}")
    edges = _edges(voxel_size)
    votes = 0 if parity_votes is None else parity_votes
    if votes not in (0, 1, 3):
        raise ValueError(f"parity_votes: {parity_votes!r} is not 1 or 3")
    return _kubelmar.make_request(mode, int(size), edges, grid, slice_axis or "", depth_precision, int(votes),
                                  colour, bool(crop), bool(packbits))


def _real_array(name: str, value, columns: int, kinds: str) -> np.ndarray:
    array = np.asarray(value)
    if array.dtype.kind not in kinds:
        raise ValueError(f"{name}: dtype {array.dtype} is not accepted (expected {_KIND_NAMES[kinds]})")
    if array.ndim != 2 or array.shape[1] != columns:
        raise ValueError(f"{name}: shape {array.shape} is not (n, {columns})")
    return array


_KIND_NAMES = {"fiu": "a real number type", "iu": "an integer type"}


class Voxelizer:
    """Holds one headless GL context; voxelizes any number of meshes with it.

    Settings (keyword arguments, as kubelmar-cli's options):
      size             N, voxels along the mesh's longest side (default 512; 1..4096)
      voxel_size       voxel edge in mesh units instead of size, one for all axes or (sx, sy, sz):
                       a box grid of ceil(side / edge) voxels per axis
      grid             "cube" (N^3, centred on the mesh; the default) or "box" (the mesh's
                       bounding box, N voxels along its longest side)
      slice_axis       None (the mode's own stack), "x", "y" or "z": the axis the saved PNG
                       stack slices along, from its low end (the arrays are always [i, j, k])
      mode             "clipping" (coloured shell), "depth" (filled solid), "parity" (solid, cavities kept)
      depth_precision  "byte" or "full" (depth mode)
      parity_votes     None (1 for closed meshes, 3 for open ones), 1 or 3 (parity mode)
      colour           "auto", "texture", "material" or "vertex" (clipping mode's colours)
      crop             arrays cover the mesh's bounding box only, not the whole grid
      packbits         hold occupancy as packed bits (Volume.packed), 1/8 of the memory

    One thread at a time: a call while another thread's call runs raises
    kubelmar.Error (use a Voxelizer per thread). The GIL is released while the
    engine runs. Use as a context manager, or call close(), to free the GL
    context at a known point.
    """

    def __init__(self) -> None:
        self._native = _kubelmar._Voxelizer()

    def voxelize(self, mesh: Union[str, os.PathLike, None] = None, *, vertices=None, faces=None,
                 colours=None, name: str = "mesh", size: Optional[int] = None,
                 voxel_size: Union[float, Sequence[float], None] = None, mode: str = "clipping",
                 depth_precision: str = "byte", parity_votes: Optional[int] = None,
                 colour: str = "auto", crop: bool = False, packbits: bool = False,
                 grid: str = "cube", slice_axis: Optional[str] = None) -> Volume:
        """Voxelizes a mesh file (every format kubelmar-cli reads), or arrays:
        vertices (n, 3) real, faces (m, 3) integer (0-based), colours (n, 3)
        optional (integers: 0..255; floats: 0..1, or 0..255 when any exceeds 1).
        `name` stands for the arrays in messages and saved file names.

        Raises ValueError for bad arguments and kubelmar.Error when the run
        fails (the one-line message kubelmar-cli prints); warnings go through
        the warnings module as KubelmarWarning.
        """
        request = _request(size, voxel_size, mode, depth_precision, parity_votes, colour, crop, packbits, grid,
                           slice_axis)
        if mesh is not None:
            if vertices is not None or faces is not None or colours is not None:
                raise ValueError("give a mesh path or vertices and faces, not both")
            if not isinstance(mesh, (str, os.PathLike)):
                raise ValueError(f"mesh: {type(mesh).__name__} is not a path (use vertices= and faces= for arrays)")
            result = self._native.voxelize_file(os.fspath(mesh), request)
        else:
            if vertices is None or faces is None:
                raise ValueError("give a mesh path, or both vertices and faces")
            v = _real_array("vertices", vertices, 3, "fiu")
            f = _real_array("faces", faces, 3, "iu")
            if f.dtype.kind == "u" and f.size and f.max() > np.iinfo(np.int64).max:
                raise ValueError("faces: an index is too large")
            c = None
            top = 1.0
            if colours is not None:
                c = _real_array("colours", colours, 3, "fiu")
                if c.shape[0] != v.shape[0]:
                    raise ValueError(f"colours: {c.shape[0]} rows for {v.shape[0]} vertices")
                if c.dtype.kind in "iu" or (c.size and np.nanmax(c) > 1.0):
                    top = 255.0
                c = np.ascontiguousarray(c, dtype=np.float64)
            result = self._native.voxelize_arrays(np.ascontiguousarray(v, dtype=np.float64),
                                                  np.ascontiguousarray(f, dtype=np.int64), c, top,
                                                  str(name), request)
        for line in result.warnings:
            warnings.warn(line, KubelmarWarning, stacklevel=2)
        if result.error:
            raise Error(result.error)
        return Volume(result.volume)

    @property
    def max_size(self) -> int:
        """The largest N this GL renders."""
        return self._native.max_size

    @property
    def renderer(self) -> str:
        """The GL renderer and version the context runs on."""
        return self._native.renderer

    def close(self) -> None:
        """Frees the GL context; the Voxelizer can't be used afterwards."""
        self._native.close()

    def __enter__(self) -> "Voxelizer":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def _live_gl_objects(self) -> int:
        # GL objects alive in the context, for leak tests.
        return self._native.live_gl_objects()


_default = threading.local()


def voxelize(mesh: Union[str, os.PathLike, None] = None, **kwargs) -> Volume:
    """The one-call form: Voxelizer().voxelize(...) on a Voxelizer kept per
    thread, so repeated calls don't start GL again. Same arguments."""
    voxelizer = getattr(_default, "voxelizer", None)
    if voxelizer is None:
        voxelizer = _default.voxelizer = Voxelizer()
    return voxelizer.voxelize(mesh, **kwargs)
