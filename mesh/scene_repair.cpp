// Repairs of an imported scene that post-processing relies on.
#include "mesh/scene_repair.h"

#include <assimp/scene.h>

namespace kubelmar {

void dropUnusableFaces(aiScene& scene) {
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        aiMesh* mesh = scene.mMeshes ? scene.mMeshes[m] : nullptr;
        if (!mesh || !mesh->mFaces) continue;
        unsigned kept = 0;
        unsigned types = 0;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            aiFace& face = mesh->mFaces[f];
            bool usable = face.mNumIndices > 0 && face.mIndices;
            for (unsigned k = 0; usable && k < face.mNumIndices; ++k) usable = face.mIndices[k] < mesh->mNumVertices;
            if (!usable) {
                delete[] face.mIndices;
                face.mIndices = nullptr;
                face.mNumIndices = 0;
                continue;
            }
            types |= face.mNumIndices == 1   ? aiPrimitiveType_POINT
                     : face.mNumIndices == 2 ? aiPrimitiveType_LINE
                     : face.mNumIndices == 3 ? aiPrimitiveType_TRIANGLE
                                             : aiPrimitiveType_POLYGON;
            if (kept != f) {
                // Move by hand: aiFace's assignment copies the indices.
                aiFace& to = mesh->mFaces[kept];
                to.mNumIndices = face.mNumIndices;
                to.mIndices = face.mIndices;
                face.mNumIndices = 0;
                face.mIndices = nullptr;
            }
            ++kept;
        }
        // The array keeps its length for delete[]; the faces past `kept`
        // hold nothing.
        mesh->mNumFaces = kept;
        mesh->mPrimitiveTypes = types;
    }
}

}  // namespace kubelmar
