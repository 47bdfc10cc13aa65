#include "colour/print_stage.h"

#include <cstring>

namespace kubelmar {

int coreMaterial(const PrintSettings& settings, std::string* error) {
    const MaterialPalette& palette = settings.palette;
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return -1;
    };
    if (palette.empty()) {
        if (settings.coreColour.empty() || settings.coreColour == "white") return -1;
        return fail("--core-colour " + settings.coreColour + " needs a --palette that holds it");
    }
    if (settings.coreColour == "clear") {
        const int clear = palette.clearMaterial();
        return clear >= 0 ? clear : fail("--core-colour clear: the palette " + palette.name + " has no clear material");
    }
    if (!settings.coreColour.empty()) {
        const int found = palette.find(settings.coreColour);
        return found >= 0 ? found
                          : fail("--core-colour " + settings.coreColour + ": the palette " + palette.name +
                                 " has no material of that name");
    }
    if (const int white = palette.find("white"); white >= 0) return white;
    int lightest = -1, most = -1;
    for (std::size_t m = 0; m < palette.materials.size(); ++m) {
        const PrintMaterial& material = palette.materials[m];
        const int sum = material.srgb[0] + material.srgb[1] + material.srgb[2];
        if (!material.clear && sum > most) {
            most = sum;
            lightest = static_cast<int>(m);
        }
    }
    return lightest;
}

PrintStage::PrintStage(SliceConsumer& inner, const PrintSettings& settings) : inner_(inner), settings_(settings) {
    core_ = coreMaterial(settings_, nullptr);
    if (!settings_.palette.empty()) ditherer_ = makeDitherer(settings_.dither, settings_.palette);
}

VolumeInfo PrintStage::printedInfo(const VolumeInfo& info, const PrintSettings& settings) {
    VolumeInfo printed = info;
    if (settings.palette.empty()) {
        printed.encoding = SliceEncoding::Colour;
    } else {
        printed.encoding = SliceEncoding::Material;
        printed.palette = settings.palette;
    }
    return printed;
}

WriteResult PrintStage::begin(const VolumeInfo& info) {
    incoming_ = info.encoding;
    shape_ = sliceShape(info);
    roles_.assign(shape_.pixels(), 0);
    materials_.assign(shape_.pixels(), 0);
    out_.assign(4 * shape_.pixels(), 0);
    if (ditherer_) ditherer_->begin(shape_);
    return inner_.begin(printedInfo(info, settings_));
}

WriteResult PrintStage::slice(int s, const std::uint8_t* rgba) {
    const auto filledRole =
        static_cast<std::uint8_t>(incoming_ == SliceEncoding::Colour ? VoxelRole::Coloured : VoxelRole::Core);
    for (std::size_t p = 0; p < shape_.pixels(); ++p)
        roles_[p] = voxelFilled(rgba + 4 * p, incoming_) ? filledRole : static_cast<std::uint8_t>(VoxelRole::Empty);
    return colouredSlice(s, rgba, roles_.data());
}

WriteResult PrintStage::colouredSlice(int s, const std::uint8_t* rgba, const std::uint8_t* role) {
    const std::size_t pixels = shape_.pixels();
    if (!ditherer_) {
        // No palette: the colours as they are, the core white, empty black.
        for (std::size_t p = 0; p < pixels; ++p) {
            std::uint8_t* o = &out_[4 * p];
            switch (static_cast<VoxelRole>(role[p])) {
                case VoxelRole::Coloured: std::memcpy(o, rgba + 4 * p, 3); break;
                case VoxelRole::Core: o[0] = o[1] = o[2] = 255; break;
                case VoxelRole::Empty: o[0] = o[1] = o[2] = 0; break;
            }
            o[3] = 255;
        }
        return inner_.slice(s, out_.data());
    }
    ditherer_->dither(s, rgba, role, materials_.data());
    const std::vector<PrintMaterial>& list = settings_.palette.materials;
    const std::array<std::uint8_t, 4> core = materialPixel(list[static_cast<std::size_t>(core_)]);
    for (std::size_t p = 0; p < pixels; ++p) {
        std::uint8_t* o = &out_[4 * p];
        switch (static_cast<VoxelRole>(role[p])) {
            case VoxelRole::Coloured: {
                const std::array<std::uint8_t, 4> pixel = materialPixel(list[materials_[p]]);
                std::memcpy(o, pixel.data(), 4);
                break;
            }
            case VoxelRole::Core: std::memcpy(o, core.data(), 4); break;
            case VoxelRole::Empty: std::memset(o, 0, 4); break;
        }
    }
    return inner_.slice(s, out_.data());
}

}  // namespace kubelmar
