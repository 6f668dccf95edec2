// Hub credentials and the token session of OpenID Connect hubs.
#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>

#include "fetch_http.h"
#include "fetch_parameters.h"

namespace NORBS_FETCH {

struct Credentials {
    std::string user;
    std::string password;
    bool empty() const { return user.empty() && password.empty(); }
};

// The login and password of `host` in a netrc file (the "default" entry when
// no machine matches); none when the file or the entry is missing.
std::optional<Credentials> netrcCredentials(const std::string& netrcPath, const std::string& host);
// $NETRC, else ~/.netrc.
std::string defaultNetrcPath();
// The fields `username` and `password` of `section`; when both are empty,
// the netrc entry of the host of `loginUrl`.
Credentials readCredentials(const CParameterFile& parameters, const std::string& section, const std::string& loginUrl);

// What a token endpoint answers to an accepted grant; lifetimes in seconds.
struct TokenReply {
    std::string accessToken;
    std::string refreshToken;  // empty when the endpoint gives none
    double lifetime = 600;
    double refreshLifetime = 3600;
};
// Throws CFetchFailure (kAuthenticationRefused) when the body holds no
// access token.  A member of another type counts as absent, and a lifetime
// is kept between 0 and a year, so that no answer makes a time point
// overflow.
TokenReply parseTokenReply(const std::string& body);

// One login for the whole run: a password grant at the start, then the
// refresh token before the access token expires, and a new password grant
// only when the refresh token is no longer accepted.  (A login per file
// opens a session per file, and hubs ban accounts that open too many.)
class CTokenSession : public CAuthorizer {
public:
    // `credentialsSource` tells the user where the account comes from, in
    // the messages of a refused or impossible login.
    CTokenSession(std::set<Origin> trusted, std::string tokenUrl, std::string clientId, Credentials credentials,
                  HttpSettings settings, std::string credentialsSource = "ORBSNT_USER_SCIHUB username and password");
    bool renew() override;
    int logins() const { return mLogins; }

protected:
    std::string header() override;

private:
    using Clock = std::chrono::steady_clock;
    // Posts a grant; throws CFetchFailure when the hub refuses it.
    bool grant(const std::string& form, bool passwordGrant);
    void login();

    std::string mTokenUrl;
    std::string mClientId;
    Credentials mCredentials;
    HttpSettings mSettings;
    std::string mCredentialsSource;
    std::string mAccessToken;
    std::string mRefreshToken;
    Clock::time_point mFreshUntil{};
    Clock::time_point mRenewAt{};
    Clock::time_point mRefreshUntil{};
    int mLogins = 0;
};

}  // namespace NORBS_FETCH
