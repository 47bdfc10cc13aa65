#pragma once

struct aiScene;

namespace kubelmar {

// Removes faces that Open Asset Import's importers can leave behind but its
// post-processing steps assert on (and abort): faces without indices, or
// naming a vertex the mesh does not have. Updates each mesh's primitive
// types to the faces kept. Call between reading and post-processing.
void dropUnusableFaces(aiScene& scene);

}  // namespace kubelmar
