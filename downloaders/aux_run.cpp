// The sources in their order, the needs they meet, and the summary.
#include "aux_run.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "aux_download.h"
#include "aux_sources.h"
#include "fetch_auth.h"

namespace NORBS_AUX {

using NORBS_FETCH::CFetchFailure;
using NORBS_FETCH::Outcome;

namespace {

enum class Category { kOrbits, kIns, kCal };
constexpr std::array<Category, 3> kCategories = {Category::kOrbits, Category::kIns, Category::kCal};

std::string categoryText(Category category) {
    switch (category) {
    case Category::kOrbits: return "orbit file (AUX_POEORB or AUX_RESORB)";
    case Category::kIns: return "AUX_INS";
    case Category::kCal: return "AUX_CAL";
    }
    return {};
}

// One category of files one need asks for.
struct Demand {
    const Need* need = nullptr;
    Category category = Category::kOrbits;
    bool met = false;
    bool failed = false;               // a chosen file could not be fetched
    std::vector<std::string> reasons;  // why each source did not meet it
    std::vector<std::string> files;    // names of the files chosen last
};

// Spans closer than a day are searched as one.
std::vector<Span> mergedSpans(std::vector<Span> spans) {
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.from < b.from; });
    std::vector<Span> merged;
    for (const Span& s : spans) {
        if (!merged.empty() && s.from <= merged.back().to + 86400.0) merged.back().to = std::max(merged.back().to, s.to);
        else merged.push_back(s);
    }
    return merged;
}

class CRun {
public:
    CRun(const AuxSettings& settings, const Scope& scope, const RunOptions& options,
         NORBS_FETCH::CProgressFile& progress, NORBS_FETCH::CTerminalDisplay& display)
        : mSettings(settings), mScope(scope), mOptions(options), mProgress(progress), mDisplay(display),
          mSession(trustedOrigins(), settings.identityUrl, settings.clientId, settings.credentials, settings.http,
                   std::string(kServiceSection) + " username and password"),
          mClient(settings.http, &mSession, [&progress] { return progress.stopRequested(); }),
          mDataSpace(dataSpaceSource(mClient, settings)), mBucket(bucketSource(mClient, settings.bucketUrl)),
          mAdfService(adfServiceSource(mClient, settings.adfUrl)),
          mDownloads(settings, &mSession, progress, display, options.incremental) {
        for (const Need& need : scope.needs)
            for (const Category category : kCategories) {
                Demand demand;
                demand.need = &need;
                demand.category = category;
                mDemands.push_back(std::move(demand));
            }
    }

    Outcome run();

private:
    std::set<NORBS_FETCH::Origin> trustedOrigins() const {
        std::set<NORBS_FETCH::Origin> trusted;
        for (const std::string& url : {mSettings.catalogueUrl, mSettings.identityUrl, mSettings.downloadUrl})
            if (auto origin = NORBS_FETCH::originOf(url)) trusted.insert(*origin);
        return trusted;
    }
    // The source of `category` at rank `tier`: orbits from the Data Space,
    // then the bucket; the others from the calibration service, then the
    // Data Space.
    CAuxSource* sourceOf(Category category, int tier) const {
        if (category == Category::kOrbits) return tier == 0 ? mDataSpace.get() : mBucket.get();
        return tier == 0 ? mAdfService.get() : mDataSpace.get();
    }
    const std::string& folderOf(AuxType type) const {
        return mOptions.folders[static_cast<std::size_t>(std::find(kAuxTypes.begin(), kAuxTypes.end(), type) -
                                                         kAuxTypes.begin())];
    }
    void choose(Category category, CAuxSource& source, std::vector<Demand*>& pending, std::vector<Planned>& plan);
    std::vector<AuxFile> listOrbits(CAuxSource& source, const std::vector<Demand*>& pending, AuxType type);
    void fetch(const std::vector<Planned>& plan, std::vector<Demand*>& chosen);
    Outcome summary();

    const AuxSettings& mSettings;
    const Scope& mScope;
    const RunOptions& mOptions;
    NORBS_FETCH::CProgressFile& mProgress;
    NORBS_FETCH::CTerminalDisplay& mDisplay;
    NORBS_FETCH::CTokenSession mSession;
    NORBS_FETCH::CHttpClient mClient;
    std::unique_ptr<CAuxSource> mDataSpace, mBucket, mAdfService;
    CAuxDownloads mDownloads;
    std::vector<Demand> mDemands;
    std::map<std::string, std::pair<AuxType, Placement::State>> mFiles;  // by name, the last state
    bool mAnySourceAnswered = false;
};

std::vector<AuxFile> CRun::listOrbits(CAuxSource& source, const std::vector<Demand*>& pending, AuxType type) {
    std::map<char, std::vector<Span>> spans;
    for (const Demand* d : pending) spans[d->need->mission].push_back(orbitSpan(*d->need));
    std::vector<AuxFile> files;
    for (const auto& [mission, missionSpans] : spans) {
        Listing listing;
        listing.type = type;
        listing.mission = mission;
        listing.spans = mergedSpans(missionSpans);
        for (AuxFile& f : source.list(listing)) files.push_back(std::move(f));
    }
    return files;
}

void CRun::choose(Category category, CAuxSource& source, std::vector<Demand*>& pending, std::vector<Planned>& plan) {
    const AuxType adfType = category == Category::kIns ? AuxType::kIns : AuxType::kCal;
    mDisplay.message("Searching " + source.name() + " for " + std::to_string(pending.size()) + " " +
                     categoryText(category) + " needs ...");
    mProgress.step("AuxFetch: searching " + source.name());
    // Calibration and instrument files: one listing per instrument configuration asked for.
    std::map<std::optional<int>, std::vector<AuxFile>> catalogues;
    try {
        if (category == Category::kOrbits) {
            // Restituted orbits are listed only for the needs that precise
            // ones do not meet (periods may have gaps anywhere).
            std::vector<AuxFile> orbits = listOrbits(source, pending, AuxType::kPoeorb);
            std::vector<Demand*> uncovered;
            for (Demand* d : pending)
                if (d->need->period || chooseOrbits(*d->need, orbits).files.empty()) uncovered.push_back(d);
            if (!uncovered.empty())
                for (AuxFile& f : listOrbits(source, uncovered, AuxType::kResorb)) orbits.push_back(std::move(f));
            catalogues[std::nullopt] = std::move(orbits);
        } else {
            std::map<std::optional<int>, Instant> latest;
            for (const Demand* d : pending) {
                const Instant until = d->need->period ? d->need->stop : d->need->start;
                auto [it, added] = latest.try_emplace(d->need->configuration, until);
                if (!added) it->second = std::max(it->second, until);
            }
            for (const auto& [configuration, until] : latest)
                catalogues[configuration] = source.list({adfType, 'A', {}, until, configuration});
        }
        mAnySourceAnswered = true;
    } catch (const CFetchFailure& failure) {
        if (failure.outcome() == Outcome::kStopped) throw;
        mDisplay.message("  " + std::string(failure.what()) + ": trying the next source");
        for (Demand* d : pending) d->reasons.push_back(failure.what());
        return;
    }
    for (Demand* d : pending) {
        const auto& files = catalogues[category == Category::kOrbits ? std::nullopt : d->need->configuration];
        const Choice choice = category == Category::kOrbits ? chooseOrbits(*d->need, files)
                                                            : chooseAdf(*d->need, adfType, files);
        if (!choice.note.empty()) mDisplay.message("  " + choice.note);
        d->files.clear();
        if (choice.files.empty()) {
            d->reasons.push_back(source.name() + " lists none that applies");
            continue;
        }
        for (const AuxFile& f : choice.files) {
            d->files.push_back(f.name);
            if (std::none_of(plan.begin(), plan.end(), [&](const Planned& p) { return p.file.name == f.name; }))
                plan.push_back({f, folderOf(f.type)});
        }
    }
}

void CRun::fetch(const std::vector<Planned>& plan, std::vector<Demand*>& chosen) {
    if (plan.empty()) return;
    const auto results = mDownloads.run(plan);
    for (const Planned& p : plan) {
        const auto found = results.find(p.file.name);
        mFiles[p.file.name] = {p.file.type, found == results.end() ? Placement::State::kFailed : found->second.state};
    }
    for (Demand* d : chosen) {
        bool ok = !d->files.empty();
        for (const std::string& name : d->files) {
            const auto found = results.find(name);
            if (found == results.end() || found->second.state == Placement::State::kFailed) {
                ok = false;
                d->failed = true;
                d->reasons.push_back(name + " could not be fetched" +
                                     (found == results.end() ? std::string() : ": " + found->second.error));
            }
        }
        d->met = ok;
    }
}

Outcome CRun::run() {
    if (mSettings.credentials.empty())
        mDisplay.message("No Data Space account (" + std::string(kServiceSection) +
                         " username and password, or ~/.netrc): its files are not fetched, the other sources are used");
    mProgress.report(1, "AuxFetch: searching for the auxiliary files of " + mScope.description);
    for (int tier = 0; tier < 2; ++tier) {
        std::vector<Planned> plan;
        std::vector<Demand*> chosen;
        for (const Category category : kCategories) {
            std::vector<Demand*> pending;
            for (Demand& d : mDemands)
                if (d.category == category && !d.met) pending.push_back(&d);
            CAuxSource* source = sourceOf(category, tier);
            if (pending.empty()) continue;
            if (source->needsLogin() && mSettings.credentials.empty()) {
                for (Demand* d : pending) d->reasons.push_back(source->name() + ": no account to fetch from it");
                continue;
            }
            choose(category, *source, pending, plan);
            for (Demand* d : pending)
                if (!d->files.empty()) chosen.push_back(d);
        }
        fetch(plan, chosen);
    }
    return summary();
}

Outcome CRun::summary() {
    mDisplay.message("");
    mDisplay.message("Folder        found  fetched  present  failed");
    int fetched = 0, present = 0, failed = 0;
    for (const AuxType type : kAuxTypes) {
        int counts[3] = {0, 0, 0};
        for (const auto& [name, state] : mFiles)
            if (state.first == type) ++counts[static_cast<int>(state.second)];
        const int found = counts[0] + counts[1] + counts[2];
        char line[96];
        std::snprintf(line, sizeof line, "%-12s %6d %8d %8d %7d", typeName(type), found, counts[0], counts[1], counts[2]);
        mDisplay.message(line);
        fetched += counts[0];
        present += counts[1];
        failed += counts[2];
    }
    // Over a period, a mission without any file of a kind is worth a note
    // (a unit may not have flown then); the kind missing for every mission
    // is not.
    std::set<Category> metSomewhere;
    for (const Demand& d : mDemands)
        if (d.met) metSomewhere.insert(d.category);
    int missing = 0;
    for (const Demand& d : mDemands) {
        if (d.met) continue;
        std::string reasons;
        std::set<std::string> said;
        for (const std::string& r : d.reasons)
            if (said.insert(r).second) reasons += (reasons.empty() ? "" : "; ") + r;
        if (d.need->period && !d.failed && metSomewhere.count(d.category)) {
            mDisplay.message("note: no " + categoryText(d.category) + " for " + d.need->label);
            continue;
        }
        ++missing;
        mDisplay.message("MISSING " + categoryText(d.category) + " for " + d.need->label + ": " + reasons);
    }
    const std::string counts = std::to_string(fetched) + " fetched, " + std::to_string(present) + " already present" +
                               (failed > 0 ? ", " + std::to_string(failed) + " failed" : std::string());
    std::string line;
    Outcome outcome = Outcome::kDone;
    if (missing == 0) {
        line = "AuxFetch: everything in scope is present and verified (" + counts + ")";
    } else if (!mAnySourceAnswered) {
        line = "AuxFetch: no source answered; nothing in scope could be fetched";
        outcome = Outcome::kUnreachable;
    } else {
        line = "AuxFetch: " + std::to_string(missing) + " needs not met (listed above); " + counts;
        outcome = Outcome::kSomeFailed;
    }
    mProgress.report(100, line);
    mDisplay.message(line);
    return outcome;
}

}  // namespace

Outcome runAuxFetch(const AuxSettings& settings, const Scope& scope, const RunOptions& options,
                    NORBS_FETCH::CProgressFile& progress, NORBS_FETCH::CTerminalDisplay& display) {
    CRun run(settings, scope, options, progress, display);
    return run.run();
}

}  // namespace NORBS_AUX
