// SPDX-License-Identifier: MIT
#include "link_checker.h"

#include <curl/curl.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <queue>
#include <unordered_map>

#include "address_kind.h"
#include "base/network.h"
#include "base/text.h"

namespace trevanto::check {
namespace {

using Clock = std::chrono::steady_clock;

// One request to make: the address, HEAD or GET, how many retries came before it, and whether it
// goes on a connection of its own (after an answer that a connection kept alive may have spoilt).
struct Work {
  std::size_t index = 0;
  bool get = false;
  int retriesDone = 0;
  bool fresh = false;
};

struct Host {
  std::deque<Work> waiting;
  std::size_t inFlight = 0;
  bool ready = false;  // in the ready queue
};

// An address as it is asked: without user name and password, blanks encoded; and its host.
struct Target {
  std::string url;
  std::size_t host = 0;
  bool valid = false;
};

struct Transfer {
  Work work;
  CURL* easy = nullptr;
  std::vector<long> statuses;  // the status of each answer, redirects included
  bool bodyStarted = false;
  // The kind of address the link itself was asked at, and whether a redirect was refused because
  // it led further into the user's network than that.
  AddressKind ownKind = AddressKind::Public;
  bool refusedInward = false;
};

struct Retry {
  Clock::time_point due;
  Work work;
  bool operator>(const Retry& other) const { return due > other.due; }
};

// A decision about a finished request.
struct Verdict {
  enum class Kind { Done, AskWithGet, AskOnFreshConnection, RetryLater } kind = Kind::Done;
  Outcome outcome;
  std::chrono::milliseconds pause{0};
};

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void initialiseCurlOnce() {
  static const bool initialised = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)initialised;
}

std::string takeCurlText(char* text) {
  std::string copy = text == nullptr ? std::string() : std::string(text);
  curl_free(text);
  return copy;
}

// The URL to ask and its host name, lower-cased; invalid when curl's parser refuses the address.
bool parseAddress(const std::string& address, std::string& url, std::string& host) {
  const std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed) return false;
  if (curl_url_set(parsed.get(), CURLUPART_URL, address.c_str(), CURLU_ALLOW_SPACE) != CURLUE_OK) return false;
  curl_url_set(parsed.get(), CURLUPART_USER, nullptr, 0);
  curl_url_set(parsed.get(), CURLUPART_PASSWORD, nullptr, 0);
  curl_url_set(parsed.get(), CURLUPART_FRAGMENT, nullptr, 0);
  char* text = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_HOST, &text, 0) != CURLUE_OK) return false;
  host = base::asciiLower(takeCurlText(text));
  text = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return false;
  url = takeCurlText(text);
  return !host.empty();
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  // Each answer of a redirect chain begins with its status line; 1xx interim answers do not count.
  if (line.starts_with("HTTP/")) {
    const std::size_t blank = line.find(' ');
    if (blank != std::string_view::npos && blank + 4 <= line.size()) {
      long status = 0;
      for (char digit : line.substr(blank + 1, 3)) {
        if (digit < '0' || digit > '9') return size * count;
        status = status * 10 + (digit - '0');
      }
      if (status >= 200) transfer->statuses.push_back(status);
    }
  }
  return size * count;
}

// Before each connection is made: the link's own request may connect anywhere; after a redirect
// only an address that mayRedirect() allows from the link's own kind is connected to at all.
curl_socket_t onOpenSocket(void* user, curlsocktype purpose, curl_sockaddr* address) {
  auto* transfer = static_cast<Transfer*>(user);
  if (purpose == CURLSOCKTYPE_IPCXN && !transfer->statuses.empty() &&
      !mayRedirect(transfer->ownKind, kindOfAddress(&address->addr))) {
    transfer->refusedInward = true;
    return CURL_SOCKET_BAD;
  }
  return static_cast<curl_socket_t>(base::openSocket(address->family, address->socktype, address->protocol));
}

// Before each request, on a new or a kept-alive connection, with the address it is connected to:
// the link's own request sets the kind, a redirected one must keep within what it allows (a
// connection kept alive from another link is no way around the rule).
int onRequestReady(void* user, char* remoteAddress, char*, int, int) {
  auto* transfer = static_cast<Transfer*>(user);
  const AddressKind kind = kindOfAddress(std::string_view(remoteAddress == nullptr ? "" : remoteAddress));
  if (transfer->statuses.empty()) {
    transfer->ownKind = kind;
  } else if (!mayRedirect(transfer->ownKind, kind)) {
    transfer->refusedInward = true;
    return CURL_PREREQFUNC_ABORT;
  }
  return CURL_PREREQFUNC_OK;
}

// The body of a GET is not wanted: the first byte of it ends the request.
std::size_t onBody(char*, std::size_t, std::size_t, void* user) {
  static_cast<Transfer*>(user)->bodyStarted = true;
  return 0;
}

Outcome failing(std::string_view why) { return {LinkState::Failing, std::string(why)}; }

std::chrono::milliseconds growingPause(const CheckSettings& settings, int retriesDone) {
  return settings.retryPause * (1 << std::min(retriesDone, 10));
}

Verdict retryOr(const CheckSettings& settings, const Work& work, std::chrono::milliseconds pause,
                std::string_view why) {
  if (work.retriesDone < settings.retries) return {Verdict::Kind::RetryLater, {}, pause};
  return {Verdict::Kind::Done, failing(why), {}};
}

Verdict judge(const CheckSettings& settings, const Transfer& transfer, CURLcode result) {
  const Work& work = transfer.work;
  if (transfer.refusedInward && result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.bodyStarted)) {
    return {Verdict::Kind::Done, failing(reason::kRedirectInward), {}};
  }
  if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && transfer.bodyStarted)) {
    long status = 0;
    curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
    const std::string statusText = "HTTP " + std::to_string(status);
    if (status == 429 || status == 503) {
      // The server's Retry-After in seconds, taken only within the longest pause honoured.
      curl_off_t retryAfter = 0;
      curl_easy_getinfo(transfer.easy, CURLINFO_RETRY_AFTER, &retryAfter);
      const auto longest = std::chrono::ceil<std::chrono::seconds>(settings.maxRetryAfter).count();
      retryAfter = std::clamp<curl_off_t>(retryAfter, 0, static_cast<curl_off_t>(longest));
      const auto asked = std::min(std::chrono::milliseconds(std::chrono::seconds(retryAfter)), settings.maxRetryAfter);
      return retryOr(settings, work, std::max(asked, growingPause(settings, work.retriesDone)), statusText);
    }
    if (status == 401 || status == 403) return {Verdict::Kind::Done, {LinkState::Ok, statusText}, {}};
    if (status >= 400 || status < 100) {
      // Some servers refuse HEAD or answer it wrongly; GET has the last word.
      if (!work.get) return {Verdict::Kind::AskWithGet, {}, {}};
      return {Verdict::Kind::Done, failing(statusText), {}};
    }
    const auto& statuses = transfer.statuses;
    const bool redirected = statuses.size() > 1;
    const bool permanent = std::all_of(statuses.begin(), statuses.end() - (statuses.empty() ? 0 : 1),
                                       [](long hop) { return hop == 301 || hop == 308; });
    char* effective = nullptr;
    curl_easy_getinfo(transfer.easy, CURLINFO_EFFECTIVE_URL, &effective);
    if (redirected && permanent && effective != nullptr) {
      return {Verdict::Kind::Done, {LinkState::Moved, effective}, {}};
    }
    return {Verdict::Kind::Done, {LinkState::Ok, {}}, {}};
  }
  const auto pause = growingPause(settings, work.retriesDone);
  switch (result) {
    case CURLE_OPERATION_TIMEDOUT:
      return retryOr(settings, work, pause, reason::kTimeout);
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return retryOr(settings, work, pause, reason::kReset);
    case CURLE_COULDNT_CONNECT: {
      // One error for three things: refused by the host, or no way to the host or its network.
      long osError = 0;
      curl_easy_getinfo(transfer.easy, CURLINFO_OS_ERRNO, &osError);
      if (base::meansUnreachable(osError)) {
        return retryOr(settings, work, pause, reason::kUnreachable);
      }
      return {Verdict::Kind::Done, failing(reason::kRefused), {}};
    }
    case CURLE_OUT_OF_MEMORY:
      // What libcurl says of a header line longer than it takes (100 KB), not of this machine.
      return {Verdict::Kind::Done, failing(reason::kHeaderTooLong), {}};
    case CURLE_COULDNT_RESOLVE_HOST:
      return {Verdict::Kind::Done, failing(reason::kNameNotFound), {}};
    case CURLE_TOO_MANY_REDIRECTS:
      return {Verdict::Kind::Done, failing(reason::kRedirectLoop), {}};
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_WEIRD_SERVER_REPLY: {
      // The same error for a redirect to another scheme and for an answer that is no HTTP (a
      // status line like "HTTP/1.1 -5", or the rest of an earlier answer's body on a kept-alive
      // connection): the status of the last answer read tells them apart.
      long status = 0;
      curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
      if (result == CURLE_UNSUPPORTED_PROTOCOL && status >= 300 && status < 400) {
        return {Verdict::Kind::Done, failing(reason::kRedirectElsewhere), {}};
      }
      if (!work.fresh) return {Verdict::Kind::AskOnFreshConnection, {}, {}};
      if (!work.get) return {Verdict::Kind::AskWithGet, {}, {}};
      return {Verdict::Kind::Done, failing(reason::kBadAnswer), {}};
    }
    case CURLE_URL_MALFORMAT:
      return {Verdict::Kind::Done, failing(reason::kBadAddress), {}};
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_USE_SSL_FAILED:
      return {Verdict::Kind::Done, failing(reason::kTls), {}};
    default:
      return {Verdict::Kind::Done, failing(curl_easy_strerror(result)), {}};
  }
}

class Checker {
 public:
  Checker(const std::vector<std::string>& addresses, const CheckSettings& settings,
          const std::function<void(std::size_t, const Outcome&)>& onDone)
      : addresses_(addresses), settings_(settings), onDone_(onDone), multi_(curl_multi_init()) {
    curl_multi_setopt(multi_.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(settings.maxInFlight));
    curl_multi_setopt(multi_.get(), CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(settings.perHost));
  }

  ~Checker() {
    for (auto& [easy, transfer] : inFlight_) {
      curl_multi_remove_handle(multi_.get(), easy);
      curl_easy_cleanup(easy);
    }
  }

  bool run(const std::function<bool()>& shouldStop) {
    prepare();
    while (remaining_ > 0) {
      if (shouldStop()) return false;
      releaseDueRetries();
      startWhatMay();
      int running = 0;
      curl_multi_perform(multi_.get(), &running);
      int queued = 0;
      bool finished = false;
      while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        finish(message->easy_handle, message->data.result);
        finished = true;
      }
      if (remaining_ == 0) break;
      // A request that ended frees a place for the next at once, not after the next event.
      if (finished && inFlight_.size() < settings_.maxInFlight && !ready_.empty()) continue;
      curl_multi_poll(multi_.get(), nullptr, 0, pollMilliseconds(), nullptr);
    }
    return true;
  }

 private:
  void prepare() {
    std::unordered_map<std::string, std::size_t> hostIds;
    targets_.resize(addresses_.size());
    for (std::size_t i = 0; i < addresses_.size(); ++i) {
      std::string host;
      Target& target = targets_[i];
      if (!parseAddress(addresses_[i], target.url, host)) {
        onDone_(i, failing(reason::kBadAddress));
        continue;
      }
      const auto [found, added] = hostIds.try_emplace(host, hosts_.size());
      if (added) hosts_.emplace_back();
      target.host = found->second;
      target.valid = true;
      hosts_[target.host].waiting.push_back({i, false, 0});
      ++remaining_;
    }
    resolve_.resize(hosts_.size());
    for (const std::string& entry : settings_.resolve) {
      const auto found = hostIds.find(base::asciiLower(entry.substr(0, entry.find(':'))));
      if (found == hostIds.end()) continue;
      auto& list = resolve_[found->second];
      if (curl_slist* extended = curl_slist_append(list.get(), entry.c_str())) {
        (void)list.release();
        list.reset(extended);
      }
    }
    for (std::size_t id = 0; id < hosts_.size(); ++id) markReady(id);
  }

  void markReady(std::size_t id) {
    Host& host = hosts_[id];
    if (!host.ready && !host.waiting.empty() && host.inFlight < settings_.perHost) {
      host.ready = true;
      ready_.push_back(id);
    }
  }

  void releaseDueRetries() {
    const auto now = Clock::now();
    while (!retries_.empty() && retries_.top().due <= now) {
      const Work work = retries_.top().work;
      retries_.pop();
      const std::size_t id = targets_[work.index].host;
      hosts_[id].waiting.push_front(work);
      markReady(id);
    }
  }

  void startWhatMay() {
    while (inFlight_.size() < settings_.maxInFlight && !ready_.empty()) {
      const std::size_t id = ready_.front();
      ready_.pop_front();
      Host& host = hosts_[id];
      host.ready = false;
      const Work work = host.waiting.front();
      host.waiting.pop_front();
      ++host.inFlight;
      start(work);
      markReady(id);
    }
  }

  void start(const Work& work) {
    auto transfer = std::make_unique<Transfer>();
    transfer->work = work;
    CURL* easy = curl_easy_init();
    transfer->easy = easy;
    curl_easy_setopt(easy, CURLOPT_URL, targets_[work.index].url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, settings_.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_NOBODY, work.get ? 0L : 1L);
    if (work.fresh) {
      curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
      curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings_.connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(settings_.requestTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, agent_.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, onOpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, onRequestReady);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, transfer.get());
    if (const auto& resolve = resolve_[targets_[work.index].host]) curl_easy_setopt(easy, CURLOPT_RESOLVE, resolve.get());
    curl_multi_add_handle(multi_.get(), easy);
    inFlight_.emplace(easy, std::move(transfer));
  }

  void finish(CURL* easy, CURLcode result) {
    const auto found = inFlight_.find(easy);
    if (found == inFlight_.end()) return;
    const std::unique_ptr<Transfer> transfer = std::move(found->second);
    inFlight_.erase(found);
    curl_multi_remove_handle(multi_.get(), easy);
    const std::unique_ptr<CURL, EasyDeleter> owned(easy);

    const std::size_t id = targets_[transfer->work.index].host;
    --hosts_[id].inFlight;
    const Verdict verdict = judge(settings_, *transfer, result);
    Work next = transfer->work;
    switch (verdict.kind) {
      case Verdict::Kind::Done:
        --remaining_;
        onDone_(next.index, verdict.outcome);
        break;
      case Verdict::Kind::AskWithGet:
        next.get = true;
        hosts_[id].waiting.push_front(next);
        break;
      case Verdict::Kind::AskOnFreshConnection:
        next.fresh = true;
        hosts_[id].waiting.push_front(next);
        break;
      case Verdict::Kind::RetryLater:
        ++next.retriesDone;
        retries_.push({Clock::now() + verdict.pause, next});
        break;
    }
    markReady(id);
  }

  int pollMilliseconds() const {
    auto wait = std::chrono::milliseconds(100);
    if (!retries_.empty()) {
      const auto untilDue =
          std::chrono::ceil<std::chrono::milliseconds>(retries_.top().due - Clock::now());
      wait = std::clamp(untilDue, std::chrono::milliseconds(0), wait);
    }
    return static_cast<int>(wait.count());
  }

  const std::vector<std::string>& addresses_;
  const CheckSettings& settings_;
  const std::function<void(std::size_t, const Outcome&)>& onDone_;
  const std::string agent_ = userAgent();
  std::unique_ptr<CURLM, MultiDeleter> multi_;
  // Per host, the entries of the resolve table for its name, so that each request hands libcurl
  // only those.
  std::vector<std::unique_ptr<curl_slist, ListDeleter>> resolve_;
  std::vector<Target> targets_;
  std::vector<Host> hosts_;
  std::deque<std::size_t> ready_;
  std::unordered_map<CURL*, std::unique_ptr<Transfer>> inFlight_;
  std::priority_queue<Retry, std::vector<Retry>, std::greater<>> retries_;
  std::size_t remaining_ = 0;
};

}  // namespace

std::string userAgent() { return "Trevanto/" TREVANTO_VERSION; }

bool checkAddresses(const std::vector<std::string>& addresses, const CheckSettings& settings,
                    const std::function<void(std::size_t, const Outcome&)>& onDone,
                    const std::function<bool()>& shouldStop) {
  initialiseCurlOnce();
  Checker checker(addresses, settings, onDone);
  return checker.run(shouldStop);
}

}  // namespace trevanto::check
