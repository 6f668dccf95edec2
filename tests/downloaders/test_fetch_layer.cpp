// The shared layer of the downloaders: who gets credentials, retry pauses,
// netrc, parameter files, and archive extraction that stays in its folder.
// The progress file: the AuxFetchRun and AuxFetchChain tests.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fetch_archive.h"
#include "fetch_auth.h"
#include "fetch_http.h"
#include "fetch_parameters.h"
#include "temp_folder.h"
#include "test_files.h"

namespace {

using namespace NORBS_FETCH;
namespace fs = std::filesystem;
using test_files::writeFile;
using TempFolder = TempFolderTest;

TEST(FetchHttp, CredentialsGoOnlyToTheConfiguredSchemeHostAndPort) {
    CBasicAuthorizer authorizer({*originOf("https://localhost/dhus"), *originOf("http://127.0.0.1:8080/")}, "u", "p");
    const struct { const char* url; bool trusted; } cases[] = {
        {"https://localhost/odata/v1/Products('x')/$value", true},
        {"https://localhost:443/search", true},
        {"https://LOCALHOST/x", true},
        {"http://localhost/x", false},            // other scheme
        {"https://localhost:8443/x", false},      // other port
        {"https://127.0.0.1/x", false},            // other host (same machine, other name)
        {"http://127.0.0.1:8080/store/x", true},
        {"http://127.0.0.1:8081/store/x", false},   // a storage host on another port of the same machine
        {"not a url", false},
    };
    for (const auto& c : cases) EXPECT_EQ(authorizer.headerFor(c.url).has_value(), c.trusted) << c.url;
}

TEST(FetchHttp, RedirectTargetsResolveAgainstTheRequest) {
    EXPECT_EQ(resolveUrl("http://127.0.0.1:1/odata/v1/x", "/store/y"), "http://127.0.0.1:1/store/y");
    EXPECT_EQ(resolveUrl("http://127.0.0.1:1/odata/v1/x", "https://localhost/z?q=1"), "https://localhost/z?q=1");
}

TEST(FetchHttp, RetryPausesHonourRetryAfterAndThePauseScale) {
    const HttpSettings settings;
    ::setenv("ORBISCAN_PAUSE_SCALE", "1", 1);
    EXPECT_GE(retryPauseSeconds(settings, 1, 30.0), 30.0);
    ::setenv("ORBISCAN_PAUSE_SCALE", "0", 1);
    EXPECT_EQ(retryPauseSeconds(settings, 3, 30.0), 0.0);
    ::unsetenv("ORBISCAN_PAUSE_SCALE");
    EXPECT_EQ(parseRetryAfter("7"), 7.0);
    EXPECT_EQ(parseRetryAfter("Wed, 21 Oct 2015 07:28:00 GMT"), 0.0);  // a date in the past
    EXPECT_FALSE(parseRetryAfter("soon"));
    EXPECT_FALSE(parseRetryAfter(""));
}

TEST_F(TempFolder, NetrcGivesTheMachineEntryThenTheDefault) {
    const fs::path netrc = mRoot / "netrc";
    writeFile(netrc, "machine other.example login o password op\nmacdef init\nmachine hub.example login trap\n\n"
                     "machine hub.example\n  login alice\n  password s3cret\ndefault login anon password guest\n");
    const auto hub = netrcCredentials(netrc.string(), "hub.example");
    ASSERT_TRUE(hub);
    EXPECT_EQ(hub->user, "alice");
    EXPECT_EQ(hub->password, "s3cret");
    EXPECT_EQ(netrcCredentials(netrc.string(), "elsewhere")->user, "anon");
    EXPECT_FALSE(netrcCredentials((mRoot / "missing").string(), "hub.example"));
}

TEST_F(TempFolder, ParameterFileValuesTreatPlaceholdersAsUnset) {
    const fs::path file = mRoot / "p.sml";
    writeFile(file, "<?xml version=\"1.0\" ?>\n<PARAMETERS_INFO_SCI_HUB_GET_CMD>\n <S>\n"
                    "  <set> a &amp; b </set>\n  <fill>USER_PARAMETER_TO_FILL</fill>\n"
                    "  <optional>USER_OPTIONAL_PARAMETER</optional>\n  <empty>&quot;&quot;</empty>\n"
                    "  <count>3</count>\n  <bad>3x</bad>\n </S>\n</PARAMETERS_INFO_SCI_HUB_GET_CMD>\n");
    const auto parameters = CParameterFile::load(file.string());
    ASSERT_TRUE(parameters);
    EXPECT_EQ(parameters->value("S", "set"), "a & b");
    for (const char* unset : {"fill", "optional", "absent"}) EXPECT_FALSE(parameters->value("S", unset)) << unset;
    EXPECT_EQ(parameters->value("S", "empty"), "");
    EXPECT_EQ(parameters->text("S", "empty", "fallback"), "fallback");
    EXPECT_EQ(parameters->number("S", "count", 9, 1), 3);
    EXPECT_EQ(parameters->number("S", "absent", 9, 1), 9);
    EXPECT_THROW(parameters->number("S", "bad", 9, 1), std::runtime_error);
    EXPECT_THROW(parameters->number("S", "count", 9, 4), std::runtime_error);
    EXPECT_FALSE(CParameterFile::load((mRoot / "missing.sml").string()));
}

// Zip archives made by Python's zipfile, which writes any member name and
// Unix link modes as told.
void makeZip(const fs::path& zip, const std::string& members) {
    writeFile(zip.string() + ".py", "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1], 'w')\n" + members + "z.close()\n");
    ASSERT_EQ(std::system(("python3 '" + zip.string() + ".py' '" + zip.string() + "'").c_str()), 0);
}

TEST_F(TempFolder, HostileArchivesExtractNothingAnywhere) {
    const struct { const char* name; const char* members; } hostile[] = {
        {"dotdot", "z.writestr('P.SAFE/manifest.safe', 'ok')\nz.writestr('P.SAFE/../../escaped.txt', 'x')\n"},
        {"absolute", "z.writestr('P.SAFE/manifest.safe', 'ok')\nz.writestr('/tmp/orbs_absolute_escape.txt', 'x')\n"},
        {"symlink", "z.writestr('P.SAFE/manifest.safe', 'ok')\n"
                    "i = zipfile.ZipInfo('P.SAFE/link')\ni.create_system = 3\ni.external_attr = 0o120777 << 16\n"
                    "z.writestr(i, '/etc')\nz.writestr('P.SAFE/link/passwd', 'x')\n"},
        {"backslash", "z.writestr('P.SAFE\\\\..\\\\..\\\\escaped.txt', 'x')\n"},
    };
    const fs::path unz = mRoot / "deep" / "unz";
    fs::create_directories(unz);
    for (const auto& h : hostile) {
        const fs::path zip = mRoot / (std::string(h.name) + ".zip");
        makeZip(zip, h.members);
        const ExtractionResult result = extractArchive(zip.string(), unz.string());
        EXPECT_FALSE(result.ok) << h.name;
        EXPECT_NE(result.error.find("refused"), std::string::npos) << result.error;
        EXPECT_TRUE(fs::is_empty(unz)) << h.name;
        EXPECT_FALSE(fs::exists(mRoot / "deep" / "escaped.txt")) << h.name;
        EXPECT_FALSE(fs::exists("/tmp/orbs_absolute_escape.txt")) << h.name;
    }
}

// An archive never replaces what is there, unless confined to one name and
// told to replace it: then the old folder goes whole, in one step.
TEST_F(TempFolder, ExtractionReplacesOnlyWhenConfinedAndTold) {
    const fs::path zip = mRoot / "p.zip", unz = mRoot / "unz";
    makeZip(zip, "z.writestr('P.SAFE/manifest.safe', 'new')\nz.writestr('P.SAFE/measurement/m.tiff', 'data')\n");
    fs::create_directories(unz);
    ExtractionResult first = extractArchive(zip.string(), unz.string());
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.created, std::vector<std::string>{"P.SAFE"});
    EXPECT_EQ(test_files::readFile(unz / "P.SAFE" / "measurement" / "m.tiff"), "data");
    writeFile(unz / "P.SAFE" / "manifest.safe", "the user's own");
    writeFile(unz / "P.SAFE" / "old only.txt", "old");
    EXPECT_FALSE(extractArchive(zip.string(), unz.string()).ok);
    EXPECT_EQ(test_files::readFile(unz / "P.SAFE" / "manifest.safe"), "the user's own");
    EXPECT_EQ(std::distance(fs::directory_iterator(unz), fs::directory_iterator()), 1);  // no staging left

    ExtractionOptions options;
    options.onlyBelow = "Q.SAFE";
    ExtractionResult refused = extractArchive(zip.string(), unz.string(), options);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("lies outside Q.SAFE"), std::string::npos) << refused.error;
    options.onlyBelow = "P.SAFE";
    options.replace = true;
    const ExtractionResult replaced = extractArchive(zip.string(), unz.string(), options);
    ASSERT_TRUE(replaced.ok) << replaced.error;
    EXPECT_EQ(test_files::readFile(unz / "P.SAFE" / "manifest.safe"), "new");
    EXPECT_FALSE(fs::exists(unz / "P.SAFE" / "old only.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(unz), fs::directory_iterator()), 1);  // old one and staging gone
}

}  // namespace
