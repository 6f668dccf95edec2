// Selection of the auxiliary files.
#include "aux_select.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace NORBS_AUX {

namespace {

// The preferred of two files of the same validity: the newest creation
// (the name decides a tie, so that every run chooses the same).
bool preferred(const AuxFile& a, const AuxFile& b) { return std::tie(a.created, a.name) > std::tie(b.created, b.name); }

bool overlaps(const AuxFile& file, Instant from, Instant to) { return file.start <= to && file.stop >= from; }

// Files of `type` and the mission for which `keep` holds, one per validity
// (the preferred), by validity start.
template <typename Keep>
std::vector<AuxFile> newestPerValidity(const std::vector<AuxFile>& files, AuxType type, char mission, Keep keep) {
    std::map<std::pair<Instant, Instant>, AuxFile> best;
    for (const AuxFile& f : files) {
        if (f.type != type || f.mission != mission || !keep(f)) continue;
        auto [it, added] = best.try_emplace({f.start, f.stop}, f);
        if (!added && preferred(f, it->second)) it->second = f;
    }
    std::vector<AuxFile> result;
    for (auto& [validity, file] : best) result.push_back(std::move(file));
    return result;
}

Choice productOrbits(const Need& need, const std::vector<AuxFile>& files) {
    const Span span = orbitSpan(need);
    for (const AuxType type : {AuxType::kPoeorb, AuxType::kResorb}) {
        const auto covering = newestPerValidity(files, type, need.mission, [&](const AuxFile& f) {
            return f.start <= span.from && f.stop >= span.to;
        });
        if (!covering.empty())
            return {{*std::max_element(covering.begin(), covering.end(),
                                       [](const AuxFile& a, const AuxFile& b) { return preferred(b, a); })},
                    {}};
    }
    // No single restituted file covers the margin: the last one starting
    // early enough and the next one, when they join without a gap.
    const auto resorb = newestPerValidity(files, AuxType::kResorb, need.mission,
                                          [&](const AuxFile& f) { return overlaps(f, span.from, span.to); });
    const auto next = std::find_if(resorb.begin(), resorb.end(), [&](const AuxFile& f) { return f.start > span.from; });
    if (next == resorb.begin() || next == resorb.end()) return {};
    const AuxFile& first = *std::prev(next);
    if (first.stop < next->start || next->stop < span.to) return {};
    return {{first, *next}, "two restituted orbit files joined: no single one covers " + need.label};
}

Choice periodOrbits(const Need& need, const std::vector<AuxFile>& files) {
    auto inPeriod = [&](const AuxFile& f) { return overlaps(f, need.start, need.stop); };
    Choice choice{newestPerValidity(files, AuxType::kPoeorb, need.mission, inPeriod), {}};
    // The precise files' coverage as disjoint intervals.
    std::vector<Span> covered;
    for (const AuxFile& f : choice.files) {
        if (!covered.empty() && f.start <= covered.back().to) covered.back().to = std::max(covered.back().to, f.stop);
        else covered.push_back({f.start, f.stop});
    }
    auto gapIn = [&](const AuxFile& f) {
        const Instant from = std::max(f.start, need.start), to = std::min(f.stop, need.stop);
        return std::none_of(covered.begin(), covered.end(), [&](const Span& s) { return s.from <= from && s.to >= to; });
    };
    for (AuxFile& f : newestPerValidity(files, AuxType::kResorb, need.mission,
                                        [&](const AuxFile& f) { return inPeriod(f) && gapIn(f); }))
        choice.files.push_back(std::move(f));
    return choice;
}

bool applies(const AuxFile& file, const Need& need, AuxType type) {
    return file.type == type && (file.mission == need.mission || file.mission == '_') &&
           (!need.configuration || !file.configuration || *need.configuration == *file.configuration);
}

// Latest validity start, then latest generation; a mission's own file
// before a mission-independent one.
bool later(const AuxFile& a, const AuxFile& b) {
    return std::make_tuple(a.start, a.created, a.mission != '_', a.name) >
           std::make_tuple(b.start, b.created, b.mission != '_', b.name);
}

}  // namespace

Span orbitSpan(const Need& need) {
    if (need.period) return {need.start, need.stop};
    return {need.start - (kOrbitPeriod + kOrbitMargin), need.stop + kOrbitMargin};
}

Choice chooseOrbits(const Need& need, const std::vector<AuxFile>& files) {
    return need.period ? periodOrbits(need, files) : productOrbits(need, files);
}

Choice chooseAdf(const Need& need, AuxType type, const std::vector<AuxFile>& files) {
    // Latest file of each group (mission, configuration) and validity start.
    std::map<std::tuple<char, int, Instant>, AuxFile> latest;
    for (const AuxFile& f : files) {
        if (!applies(f, need, type) || f.start > (need.period ? need.stop : need.start)) continue;
        // A product takes one file whatever its group; a period one per group.
        const auto key = need.period ? std::make_tuple(f.mission, f.configuration.value_or(-1), f.start)
                                     : std::make_tuple('*', 0, Instant(0));
        auto [it, added] = latest.try_emplace(key, f);
        if (!added && later(f, it->second)) it->second = f;
    }
    Choice choice;
    for (auto it = latest.begin(); it != latest.end(); ++it) {
        // Of the validity starts up to the period's start, only the last
        // of its group is in force during the period.
        const auto next = std::next(it);
        const bool superseded = need.period && it->second.start <= need.start && next != latest.end() &&
                                std::get<0>(next->first) == std::get<0>(it->first) &&
                                std::get<1>(next->first) == std::get<1>(it->first) && next->second.start <= need.start;
        if (!superseded) choice.files.push_back(it->second);
    }
    return choice;
}

}  // namespace NORBS_AUX
