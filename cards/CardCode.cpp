#include "cards/CardCode.h"

#include <utility>

CardCode::CardCode(std::string text_) : text(std::move(text_)) {}

CardCode::CardCode(std::string text_, int delayMs_) : text(std::move(text_)), delayMs(delayMs_) {}

CardCode::CardCode(std::string text_, int delayMs_, bool appendLineEnding_, bool reportChars_)
    : text(std::move(text_)), delayMs(delayMs_), appendLineEnding(appendLineEnding_), reportChars(reportChars_)
{
}

CardCode::CardCode(std::string text_, std::vector<std::uint8_t> bytes_)
    : text(std::move(text_)), isText(false), bytes(std::move(bytes_))
{
}

CardCode::CardCode(std::string text_, std::vector<std::uint8_t> bytes_, int pairIndex_, int pairSet_)
    : text(std::move(text_)), isText(false), pairIndex(pairIndex_), pairSet(pairSet_), bytes(std::move(bytes_))
{
}

CardCode::CardCode(std::string text_, std::string placeholder_, float multiplier_)
    : kind(1), text(std::move(text_)), placeholder(std::move(placeholder_)), multiplier(multiplier_)
{
}

CardCode::CardCode(std::string text_, std::vector<std::uint8_t> bytes_, Patches patches_, std::string placeholder_,
                   float multiplier_)
    : text(std::move(text_)), isText(false), placeholder(std::move(placeholder_)), multiplier(multiplier_),
      bytes(std::move(bytes_)), patches(std::move(patches_))
{
}

CardCode::CardCode(std::string text_, std::vector<std::uint8_t> bytes_, Patches patches_, std::string placeholder_,
                   float multiplier_, int kind_)
    : CardCode(std::move(text_), std::move(bytes_), std::move(patches_), std::move(placeholder_), multiplier_)
{
    kind = kind_;
}
