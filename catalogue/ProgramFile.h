#pragma once
// One program in one file, to hand to a friend or collect from a class: a
// property list (".corvina") holding the title, the cards as the field
// document holds them, and the thumbnail as a PNG in a data element.
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/Value.h"

struct ProgramFile {
    std::string title;
    engine::ValueVector cards;  // the field document
    std::string thumbnail;      // PNG bytes; empty when there is none
};

inline constexpr const char* kProgramFileExtension = ".corvina";
inline constexpr std::size_t kProgramFileLimit = 1 << 20;
// Thumbnails larger than this, or not PNGs, are dropped on reading.
inline constexpr unsigned kThumbnailLimit = 1024;

// nullopt when the file would pass kProgramFileLimit.
std::optional<std::string> writeProgramFile(const ProgramFile& program);

// Why a file was refused.
enum class ProgramFileError { None, TooLarge, Unreadable };

// Reads a program file, or a plain field document (then titled
// `plainTitle`). The cards come back as the editor would save them: cards
// outside the catalogue and unknown keys are gone.
std::optional<ProgramFile> readProgramFile(std::string_view bytes, const std::string& plainTitle,
                                           ProgramFileError* error = nullptr);

// Whether `png` starts as a PNG no larger than kThumbnailLimit each way.
bool isAcceptableThumbnail(std::string_view png);

// A file name for a title: characters unsafe in file names on the
// desktops a class may use become "_"; never empty, never hidden.
std::string safeFileName(const std::string& title);
