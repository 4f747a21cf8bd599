#include <QMetaObject>
#include <QPointer>
#include <algorithm>

#include "platform/runtime/logging.h"
#include "session/store/session_store.h"

namespace kovali {

using vinaro::SongRequest;

namespace {

constexpr double kPruneIntervalSeconds = 60;
constexpr double kTransportNoticeSeconds = 4;

std::string quoted(const std::string& text) { return "\u201C" + text + "\u201D"; }

}  // namespace

void SessionStore::startPruneLoop() {
  pruneTask_.start([this, self = QPointer<SessionStore>(this)](CancellationToken token) -> QCoro::Task<> {
    while (!token.isCancelled()) {
      co_await scheduler_.sleep(kPruneIntervalSeconds, token);
      if (token.isCancelled() || !self) co_return;
      performHostAction(vinaro::action::PruneResolvedRequests{});
      pruneBadges();
    }
  });
}

void SessionStore::pruneBadges() {
  if (!state_->badges) return;
  std::set<std::string> connected;
  for (const auto& [connection, participant] : participants_) connected.insert(participant.id);
  auto gone = badgeRetention_.expired(*state_->badges, connected, scheduler_.monotonicNow());
  if (!gone.empty()) performHostAction(vinaro::action::DropBadges{std::move(gone)});
}

void SessionStore::showTransportNotice(std::string notice) {
  setTransportNotice(std::move(notice));
  transportNoticeTask_.start([this, self = QPointer<SessionStore>(this)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(kTransportNoticeSeconds, token);
    // A newer notice cancelled this one and keeps its own time.
    if (token.isCancelled() || !self) co_return;
    setTransportNotice(std::nullopt);
  });
}

// ---- Automatic play of the top request --------------------------------------------------------

void SessionStore::scheduleAutoPlay() {
  if (autoPlayRunning_) return;
  auto candidate = state_->autoPlayCandidate(autoPlaySkipped_);
  if (!candidate) return;
  autoPlayRunning_ = true;
  // As soon as the change that made it due is done with.
  QMetaObject::invokeMethod(
      this, [this, request = std::move(*candidate)] { (void)autoPlayAttempt(request); }, Qt::QueuedConnection);
}

QCoro::Task<> SessionStore::autoPlayAttempt(SongRequest request) {
  const QPointer<SessionStore> self(this);
  co_await autoPlay(std::move(request));
  if (!self) co_return;
  autoPlayRunning_ = false;
  scheduleAutoPlay();  // a skipped request makes room for the next one
}

QCoro::Task<> SessionStore::autoPlay(SongRequest request) {
  if (const auto track = request.track()) {
    const auto added = dispatchAsHost(vinaro::action::ApproveRequest{request.id, vinaro::QueuePosition::end});
    if (!added) {
      autoPlaySkip(request,
                   "auto-play: couldn't add " + quoted(track->title) + ", left for the DJ: " + added.error().message);
      co_return;
    }
    autoPlayAdded(request, track->title);
    co_return;
  }

  const auto ref = request.collection();
  if (!ref) co_return;
  const QPointer<SessionStore> self(this);
  auto songs = co_await tracks(*ref);
  if (!self) co_return;
  if (!songs) {
    autoPlaySkip(request,
                 "auto-play: couldn't load " + quoted(ref->name) + ", left for the DJ: " + songs.error().message);
    co_return;
  }
  // The songs took a while: the party may have moved on, or the DJ may have dealt with it.
  const bool stillPending = std::any_of(state_->requests.begin(), state_->requests.end(),
                                        [&](const SongRequest& r) { return r.id == request.id && r.isPending(); });
  if (!state_->settings.autoPlaysTopRequest || state_->mode != vinaro::PartyMode::suggestion ||
      !state_->queue.empty() || !stillPending) {
    co_return;
  }
  const auto added = dispatchAsHost(
      vinaro::action::ApproveCollectionRequest{request.id, std::move(songs).value(), vinaro::QueuePosition::end});
  if (!added) {
    autoPlaySkip(request,
                 "auto-play: couldn't add " + quoted(ref->name) + ", left for the DJ: " + added.error().message);
    co_return;
  }
  autoPlayAdded(request, ref->name);
}

void SessionStore::autoPlayAdded(const SongRequest& request, const std::string& title) {
  const auto votes = request.voteCount();
  logAutoPlay("auto-play: added the top request " + quoted(title) + " (" + std::to_string(votes) + " vote" +
              (votes == 1 ? "" : "s") + ")");
  // Before the host has played once, the queue is filled but nothing starts by itself.
  if (hasPlayedSinceLaunch_ && !state_->playback.current) (void)dispatchAsHost(vinaro::action::Play{});
}

void SessionStore::autoPlaySkip(const SongRequest& request, const std::string& logLine) {
  autoPlaySkipped_.insert(request.id);
  emit autoPlaySkippedChanged();
  logAutoPlay(logLine);
}

void SessionStore::logAutoPlay(const std::string& line) {
  qCInfo(lcPlayer, "%s", line.c_str());
  player_.log(line);
}

// ---- Outputs that play behind the others -------------------------------------------------------

void SessionStore::syncDelayedOutputs() {
  std::vector<std::string> outputs;
  if (multiRoom_->status().kind == MultiRoomAudio::Status::Kind::on) outputs.emplace_back("AirPlay");
  if (heos_->configuration().startWithParty && heos_->status().kind == HEOSController::Status::Kind::connected) {
    outputs.emplace_back("HEOS");
  }
  if (outputs != state_->delayedOutputs.value_or(std::vector<std::string>{})) {
    (void)dispatchAsHost(vinaro::action::SetDelayedOutputs{std::move(outputs)});
  }
}

}  // namespace kovali
