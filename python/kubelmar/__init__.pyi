"""Type stubs for kubelmar: triangle meshes to NumPy voxel arrays on a headless GL context."""

import os
from typing import Literal, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

Mode = Literal["clipping", "depth", "parity"]
ColourSource = Literal["auto", "texture", "material", "vertex"]
Format = Literal["png", "binvox", "nrrd", "npy", "vox", "vdb"]
PathLike = Union[str, os.PathLike[str]]

class Error(Exception):
    """A run failed: the one-line message kubelmar-cli prints (file: reason)."""

class KubelmarWarning(UserWarning):
    """A warning of a load or a run (skipped faces, an empty volume, an open mesh)."""

class Volume:
    """One voxelized mesh. Arrays are views of the volume's own memory (no copy)."""

    @property
    def occupancy(self) -> npt.NDArray[np.bool_]:
        """(nx, ny, nz), index [i, j, k] along the mesh's +x, +y, +z; a view of the
        [k, j, i] layout the npy writer stores. Unpacked on demand for a packed volume."""
    @property
    def packed(self) -> npt.NDArray[np.uint8]:
        """(nx, ny, ceil(nz / 8)): numpy.packbits(occupancy, axis=-1)."""
    @property
    def is_packed(self) -> bool:
        """Whether the volume holds its occupancy as packed bits (packbits=True)."""
    @property
    def colour(self) -> Optional[npt.NDArray[np.uint8]]:
        """(nx, ny, nz, 3) RGB in the clipping mode, (0, 0, 0) where empty; None otherwise."""
    @property
    def color(self) -> Optional[npt.NDArray[np.uint8]]: ...
    @property
    def shape(self) -> Tuple[int, int, int]:
        """(nx, ny, nz): the grid's voxels along x, y, z (N each on the cube)."""
    @property
    def origin(self) -> Tuple[float, float, float]:
        """Mesh-unit coordinates of the low corner of voxel (0, 0, 0)."""
    @property
    def voxel_edge(self) -> Tuple[float, float, float]:
        """Edge of one voxel along x, y, z in mesh units."""
    @property
    def voxel_size(self) -> Union[float, Tuple[float, float, float]]:
        """Edge of a cubic voxel; voxel_edge where the edges differ."""
    @property
    def size(self) -> int:
        """N, voxels along the mesh's longest side."""
    @property
    def mode(self) -> Mode: ...
    @property
    def filled_voxels(self) -> int: ...
    @property
    def info(self) -> dict:
        """volume.json's content: source, mode, size, voxelSize, stack, grid, filledVoxels."""
    def centres(self) -> npt.NDArray[np.float64]:
        """Mesh-space centres of the filled voxels, (count, 3)."""
    def save(self, directory: PathLike, formats: Union[str, Sequence[Format]] = ...) -> list[str]:
        """Writes the volume through kubelmar-cli's writers into `directory`
        (atomically, volume.json last); returns the file names written."""

class Voxelizer:
    """One headless GL context, reused for any number of meshes.

    Used by one thread at a time: a call while another thread's call runs
    raises Error. The GIL is released while the engine runs.
    """

    def __init__(self) -> None:
        """Starts GL; raises Error when no headless context can be made."""
    def voxelize(
        self,
        mesh: Optional[PathLike] = None,
        *,
        vertices: Optional[npt.ArrayLike] = None,
        faces: Optional[npt.ArrayLike] = None,
        colours: Optional[npt.ArrayLike] = None,
        name: str = "mesh",
        size: Optional[int] = None,
        voxel_size: Union[float, Sequence[float], None] = None,
        mode: Mode = "clipping",
        depth_precision: Literal["byte", "full"] = "byte",
        parity_votes: Optional[Literal[1, 3]] = None,
        colour: ColourSource = "auto",
        crop: bool = False,
        packbits: bool = False,
        grid: Literal["cube", "box"] = "cube",
        slice_axis: Optional[Literal["x", "y", "z"]] = None,
    ) -> Volume:
        """Voxelizes a mesh file or arrays (vertices (n, 3) real, faces (m, 3)
        integer, colours (n, 3): integers 0..255, floats 0..1 or 0..255).
        ValueError for bad arguments, Error for a failed run."""
    @property
    def max_size(self) -> int:
        """The largest N this GL renders."""
    @property
    def renderer(self) -> str:
        """The GL renderer and version."""
    def close(self) -> None:
        """Frees the GL context; later calls raise Error."""
    def __enter__(self) -> "Voxelizer": ...
    def __exit__(self, *exc: object) -> None: ...

def voxelize(
    mesh: Optional[PathLike] = None,
    *,
    vertices: Optional[npt.ArrayLike] = None,
    faces: Optional[npt.ArrayLike] = None,
    colours: Optional[npt.ArrayLike] = None,
    name: str = "mesh",
    size: Optional[int] = None,
    voxel_size: Union[float, Sequence[float], None] = None,
    mode: Mode = "clipping",
    depth_precision: Literal["byte", "full"] = "byte",
    parity_votes: Optional[Literal[1, 3]] = None,
    colour: ColourSource = "auto",
    crop: bool = False,
    packbits: bool = False,
    grid: Literal["cube", "box"] = "cube",
    slice_axis: Optional[Literal["x", "y", "z"]] = None,
) -> Volume:
    """Voxelizer().voxelize(...) on a Voxelizer kept per thread."""
