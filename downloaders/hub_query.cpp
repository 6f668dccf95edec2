// Legacy query parsing and its OData translation.
#include "hub_query.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <regex>

#include "fetch_failure.h"

namespace NORBS_HUB {

using NORBS_FETCH::CFetchFailure;
using NORBS_FETCH::Outcome;

namespace {

[[noreturn]] void refuse(const std::string& why) { throw CFetchFailure(Outcome::kQueryRefused, why); }

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Splits at `separator` outside double quotes, parentheses and brackets.
std::vector<std::string> splitTopLevel(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    int depth = 0;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') quoted = !quoted;
        else if (!quoted && (c == '(' || c == '[')) ++depth;
        else if (!quoted && (c == ')' || c == ']')) --depth;
        else if (!quoted && depth == 0 && text.compare(i, separator.size(), separator) == 0) {
            parts.push_back(text.substr(start, i - start));
            i += separator.size() - 1;
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Whether the opening parenthesis at 0 closes at the very end.
bool wrappedInParentheses(const std::string& text) {
    if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (quoted) continue;
        if (text[i] == '(') ++depth;
        if (text[i] == ')' && --depth == 0 && i + 1 < text.size()) return false;
    }
    return true;
}

LegacyClause parseClause(const std::string& written) {
    const std::string text = trim(written);
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0) refuse("Query clause not understood: '" + text + "'");
    LegacyClause clause{text.substr(0, colon), trim(text.substr(colon + 1)), text};
    std::string& value = clause.value;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    else if (value.find('"') != std::string::npos) refuse("Query clause with unbalanced quotes: '" + text + "'");
    if (value.empty()) refuse("Query clause without a value: '" + text + "'");
    return clause;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::string attributeTest(const char* type, const std::string& name, const std::string& test) {
    return std::string("Attributes/OData.CSC.") + type + "Attribute/any(att:att/Name eq " + quoted(name) + " and " +
           test + ")";
}

std::string stringAttribute(const std::string& name, const std::string& value) {
    return attributeTest("String", name, "att/OData.CSC.StringAttribute/Value eq " + quoted(value));
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The legacy short product types of Sentinel-1 have no single detailed
// code (IW_GRDH_1S, EW_GRDM_1S, ...): they become a test of the product
// name, whose type field starts with them.
const std::map<std::string, std::string> kShortProductTypes = {
    {"GRD", "_GRD"}, {"SLC", "_SLC_"}, {"RAW", "_RAW_"}, {"OCN", "_OCN_"}};

const std::map<std::string, std::string> kCollections = {
    {"SENTINEL-5 PRECURSOR", "SENTINEL-5P"}};

const std::regex kDateTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?Z?)");
const std::regex kCode(R"([A-Za-z0-9_\-]+)");
const std::regex kPolygon(R"(Intersects\(POLYGON\s*\(\((.*)\)\)\))");

std::string checkedCode(const LegacyClause& clause) {
    if (!std::regex_match(clause.value, kCode)) refuse("Query value not understood: '" + clause.text + "'");
    return clause.value;
}

std::string platform(const LegacyClause& clause) {
    const std::string name = upper(clause.value);
    const auto alias = kCollections.find(name);
    const std::string collection = alias != kCollections.end() ? alias->second : name;
    if (!std::regex_match(collection, kCode)) refuse("Query value not understood: '" + clause.text + "'");
    return "Collection/Name eq " + quoted(collection);
}

std::string productType(const LegacyClause& clause) {
    const auto shortType = kShortProductTypes.find(upper(clause.value));
    if (shortType != kShortProductTypes.end()) return "contains(Name," + quoted(shortType->second) + ")";
    return stringAttribute("productType", checkedCode(clause));
}

std::string sensorMode(const LegacyClause& clause) { return stringAttribute("operationalMode", checkedCode(clause)); }

// "VV", "VV VH", "VV+VH", "VV&VH": every channel named must be present.
std::string polarisation(const LegacyClause& clause) {
    std::vector<std::string> tests;
    std::string channels = clause.value;
    std::replace_if(channels.begin(), channels.end(), [](char c) { return c == '+' || c == '&'; }, ' ');
    for (const std::string& channel : splitTopLevel(channels, " ")) {
        if (channel.empty()) continue;
        if (!std::regex_match(channel, std::regex("[HV][HV]"))) refuse("Unknown polarisation in '" + clause.text + "'");
        tests.push_back(attributeTest("String", "polarisationChannels",
                                      "contains(att/OData.CSC.StringAttribute/Value," + quoted(channel) + ")"));
    }
    std::string joined;
    for (const auto& test : tests) joined += (joined.empty() ? "" : " and ") + test;
    return joined;
}

std::string orbitDirection(const LegacyClause& clause) {
    const std::string direction = upper(clause.value);
    if (direction != "ASCENDING" && direction != "DESCENDING")
        refuse("Unknown orbit direction in '" + clause.text + "'");
    return stringAttribute("orbitDirection", direction);
}

std::string relativeOrbit(const LegacyClause& clause) {
    int orbit = 0;
    const auto* end = clause.value.data() + clause.value.size();
    if (std::from_chars(clause.value.data(), end, orbit).ptr != end || orbit < 0)
        refuse("Relative orbit not a number in '" + clause.text + "'");
    return attributeTest("Integer", "relativeOrbitNumber",
                         "att/OData.CSC.IntegerAttribute/Value eq " + std::to_string(orbit));
}

std::string ringText(const Ring& ring) {
    std::string text;
    char point[64];
    for (const LonLat& p : ring) {
        std::snprintf(point, sizeof point, "%s%.10g %.10g", text.empty() ? "" : ",", p.lon, p.lat);
        text += point;
    }
    return text;
}

std::optional<Ring> footprintRing(const LegacyClause& clause) {
    std::smatch match;
    if (!std::regex_match(clause.value, match, kPolygon)) return std::nullopt;
    return parseCoordinates(match[1].str());
}

std::string footprint(const LegacyClause& clause) {
    const auto ring = footprintRing(clause);
    if (!ring || ring->size() < 4) refuse("Footprint not understood: '" + clause.text + "'");
    return "OData.CSC.Intersects(area=geography'SRID=4326;POLYGON((" + ringText(*ring) + "))')";
}

std::string sensingRange(const LegacyClause& clause) {
    static const std::regex range(R"(\[\s*(\S+)\s+TO\s+(\S+)\s*\])");
    std::smatch match;
    if (!std::regex_match(clause.value, match, range)) refuse("Date range not understood: '" + clause.text + "'");
    std::vector<std::string> bounds;
    const std::string from = match[1].str(), to = match[2].str();
    if (from != "*") {
        if (!std::regex_match(from, kDateTime)) refuse("Date not understood: '" + clause.text + "'");
        bounds.push_back("ContentDate/Start ge " + from);
    }
    if (to != "NOW" && to != "*") {
        if (!std::regex_match(to, kDateTime)) refuse("Date not understood: '" + clause.text + "'");
        bounds.push_back("ContentDate/Start le " + to);
    }
    if (bounds.empty()) return {};
    return bounds.size() == 1 ? bounds[0] : bounds[0] + " and " + bounds[1];
}

using Translator = std::string (*)(const LegacyClause&);
const std::map<std::string, Translator> kTranslators = {
    {"platformname", platform},     {"productType", productType},       {"sensorOperationalMode", sensorMode},
    {"polarisationMode", polarisation}, {"orbitDirection", orbitDirection}, {"relativeOrbitNumber", relativeOrbit},
    {"footprint", footprint},       {"beginPosition", sensingRange},
};

}  // namespace

std::optional<Ring> parseCoordinates(const std::string& text) {
    Ring ring;
    for (const std::string& pair : splitTopLevel(text, ",")) {
        const std::string point = trim(pair);
        double lon = 0, lat = 0;
        const char* begin = point.data();
        const char* end = point.data() + point.size();
        auto first = std::from_chars(begin, end, lon);
        if (first.ec != std::errc()) return std::nullopt;
        const char* next = first.ptr;
        while (next < end && *next == ' ') ++next;
        auto second = std::from_chars(next, end, lat);
        if (second.ec != std::errc() || second.ptr != end || next == first.ptr) return std::nullopt;
        ring.push_back({lon, lat});
    }
    if (ring.empty()) return std::nullopt;
    if (ring.front().lon != ring.back().lon || ring.front().lat != ring.back().lat) ring.push_back(ring.front());
    return ring;
}

LegacyQuery parseLegacyQuery(const std::string& text) {
    LegacyQuery query;
    if (trim(text).empty()) return query;
    for (const std::string& part : splitTopLevel(text, " AND ")) {
        std::string group = trim(part);
        while (wrappedInParentheses(group)) group = trim(group.substr(1, group.size() - 2));
        std::vector<LegacyClause> alternatives;
        for (const std::string& alternative : splitTopLevel(group, " OR ")) {
            std::string clause = trim(alternative);
            while (wrappedInParentheses(clause)) clause = trim(clause.substr(1, clause.size() - 2));
            alternatives.push_back(parseClause(clause));
        }
        query.push_back(std::move(alternatives));
    }
    return query;
}

std::string odataFilter(const LegacyQuery& query) {
    std::vector<std::string> collection, others;
    for (const auto& group : query) {
        std::vector<std::string> tests;
        for (const LegacyClause& clause : group) {
            const auto translator = kTranslators.find(clause.key);
            if (translator == kTranslators.end())
                refuse("Query clause cannot be translated for this hub: '" + clause.text + "'");
            const std::string test = translator->second(clause);
            if (!test.empty()) tests.push_back(test);
        }
        if (tests.empty()) continue;
        std::string joined;
        for (const auto& test : tests) joined += (joined.empty() ? "" : " or ") + test;
        if (tests.size() > 1) joined = "(" + joined + ")";
        (group.size() == 1 && group[0].key == "platformname" ? collection : others).push_back(joined);
    }
    collection.insert(collection.end(), others.begin(), others.end());
    std::string filter;
    for (const auto& test : collection) filter += (filter.empty() ? "" : " and ") + test;
    return filter;
}

std::optional<Ring> areaOfInterest(const LegacyQuery& query) {
    for (const auto& group : query)
        for (const LegacyClause& clause : group)
            if (clause.key == "footprint") return footprintRing(clause);
    return std::nullopt;
}

}  // namespace NORBS_HUB
