// Reading the options of a command's parameter set.
#pragma once

#include <optional>
#include <string>

#include "orbs_description_section.h"

// The value of a String field, or none when the field holds no value.
inline std::optional<std::string> optionalText(const CSectionDataGroup& set, const std::string& key) {
    const CSectionField* field = set.findField(key);
    if (field == nullptr || !field->isInitField()) return std::nullopt;
    return field->getString();
}

// A String field's value, or `fallback` when it holds none.
inline std::string textOr(const CSectionDataGroup& set, const std::string& key, const std::string& fallback) {
    return optionalText(set, key).value_or(fallback);
}

// A yes/no option of a command: true only when the field holds exactly "OK".
inline bool isOkOption(const CSectionDataGroup& set, const std::string& key) {
    return optionalText(set, key) == std::optional<std::string>("OK");
}
