#include "formats/run_output.h"

#include <algorithm>

#include "formats/material_stack_writer.h"
#include "formats/stack_files.h"

namespace kubelmar {

RunOutput::RunOutput(const OutputRequest& request) : request_(request) {}

WriteResult RunOutput::outsideNames(WriteResult result) const {
    const std::string& staged = stage_.directory();
    if (!result.ok && !staged.empty()) {
        std::string& file = result.error.file;
        if (file.rfind(staged, 0) == 0) file.replace(0, staged.size(), request_.directory);
    }
    return result;
}

WriteResult RunOutput::begin(const VolumeInfo& info) {
    const std::string stem = outputStem(request_.meshPath);
    if (const IoResult opened = stage_.open(request_.directory, stackOwnedNames(stem), isStackFolderName); !opened.ok)
        return writeFailure(opened.path, opened.reason);

    // Writers are made for each run: they write into the hidden folder.
    const std::string& dir = stage_.directory();
    stagedAt_ = dir;
    fan_ = std::make_unique<FanOutConsumer>();
    png_.reset();
    formats_ = nullptr;
    if (std::find(request_.formats.begin(), request_.formats.end(), OutputFormat::Png) != request_.formats.end()) {
        png_ = std::make_unique<PngStackWriter>(dir);
        fan_->add(*png_);
    }
    if (std::find(request_.formats.begin(), request_.formats.end(), OutputFormat::Materials) != request_.formats.end())
        fan_->add(std::make_unique<MaterialStackWriter>(dir));
    std::unique_ptr<WholeVolumeConsumer> formats =
        makeFormatConsumer(request_.formats, FormatOutput{dir, stem, request_.crop});
    formats_ = formats.get();
    if (formats) fan_->add(std::move(formats));
    fan_->add(std::make_unique<VolumeJsonConsumer>(dir, request_.programVersion,
                                                   stackFileNames(request_.formats, info, stem), request_.crop));

    WriteResult begun = fan_->begin(info);
    if (!begun.ok) stage_.abort();
    return outsideNames(begun);
}

WriteResult RunOutput::slice(int s, const std::uint8_t* rgba) {
    WriteResult written = fan_->slice(s, rgba);
    return written.ok ? written : outsideNames(written);
}

WriteResult RunOutput::sliceWithRows(int s, const std::uint8_t* rgba, const SliceRows& rows) {
    WriteResult written = fan_->sliceWithRows(s, rgba, rows);
    return written.ok ? written : outsideNames(written);
}

WriteResult RunOutput::end() {
    WriteResult ended = outsideNames(fan_->end());
    if (!ended.ok) {
        stage_.abort();
        return ended;
    }
    if (const IoResult committed = stage_.commit(); !committed.ok) {
        WriteResult failed = writeFailure(committed.path, committed.reason);
        return failed;
    }
    return ended;
}

void RunOutput::abort() {
    if (fan_) fan_->abort();
    stage_.abort();
}

std::vector<std::string> RunOutput::notes() const {
    std::vector<std::string> notes = formats_ ? formats_->notes() : std::vector<std::string>{};
    // The writers name the files they wrote in the hidden stage folder; a
    // user knows them by where they now are.
    for (std::string& note : notes)
        if (!stagedAt_.empty() && note.rfind(stagedAt_, 0) == 0) note.replace(0, stagedAt_.size(), request_.directory);
    return notes;
}

}  // namespace kubelmar
