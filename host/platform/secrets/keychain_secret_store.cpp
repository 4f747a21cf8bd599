#include "platform/secrets/keychain_secret_store.h"

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <utility>

#include <QCoreApplication>
#include <qt6keychain/keychain.h>

#include "platform/runtime/serial_queue.h"
#include "protocol/utf8.h"

namespace kovali {
namespace {

constexpr auto kAnswerTimeout = std::chrono::seconds(20);

/// The one thread on which every keychain job of the process runs (see the class comment); it
/// ends with the application.
SerialQueue& keychainQueue() {
  static SerialQueue* queue = nullptr;
  if (queue == nullptr) {
    queue = new SerialQueue(QStringLiteral("kovaliapp.host.keychain"));
    qAddPostRoutine([] { delete std::exchange(queue, nullptr); });
  }
  return *queue;
}

struct JobOutcome {
  QKeychain::Error error = QKeychain::NoError;
  QString errorString;
  QByteArray data;  // what a read found
};

/// Runs the job that `makeJob` creates on the keychain thread and waits for its end; nothing
/// when it did not end in time.
std::optional<JobOutcome> runJob(std::function<QKeychain::Job*()> makeJob) {
  auto promise = std::make_shared<std::promise<JobOutcome>>();
  auto outcome = promise->get_future();
  keychainQueue().async([promise, makeJob = std::move(makeJob)] {
    QKeychain::Job* job = makeJob();  // created here so that it runs on this thread
    QObject::connect(job, &QKeychain::Job::finished, job, [promise](QKeychain::Job* done) {
      JobOutcome result{done->error(), done->errorString(), {}};
      if (auto* reading = qobject_cast<QKeychain::ReadPasswordJob*>(done)) result.data = reading->binaryData();
      promise->set_value(std::move(result));
    });
    job->start();  // deletes itself once finished
  });
  if (outcome.wait_for(kAnswerTimeout) != std::future_status::ready) return std::nullopt;
  return outcome.get();
}

template <class Job>
std::function<QKeychain::Job*()> jobFor(const std::string& service, const std::string& account,
                                        std::function<void(Job&)> prepare = {}) {
  return [service = QString::fromStdString(service), account = QString::fromStdString(account), prepare] {
    auto* job = new Job(service);
    job->setKey(account);
    if (prepare) prepare(*job);
    return job;
  };
}

/// The failure of a job, or nothing when it succeeded (or found no item, which reads as none).
std::optional<SecretError> failureOf(const std::optional<JobOutcome>& outcome) {
  if (!outcome) {
    return SecretError::failed("The keychain did not answer within " + std::to_string(kAnswerTimeout.count()) +
                               " seconds.");
  }
  const std::string detail = outcome->errorString.isEmpty() ? std::string("no details")
                                                            : outcome->errorString.toStdString();
  switch (outcome->error) {
    case QKeychain::NoError:
    case QKeychain::EntryNotFound:
      return std::nullopt;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
      return SecretError::failed("The keychain refused access (" + detail + ").");
    case QKeychain::CouldNotDeleteEntry:
      return SecretError::failed("The keychain could not delete the item (" + detail + ").");
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
    case QKeychain::OtherError:
      break;
  }
  // Without a Secret Service qtkeychain reports "other error" too; only refusals tell a keychain
  // that is there but said no.
  return SecretError::noService("The keychain is not available (" + detail + ").");
}

}  // namespace

SecretReadResult KeychainSecretStore::read(const std::string& service, const std::string& account) {
  const auto outcome = runJob(jobFor<QKeychain::ReadPasswordJob>(service, account));
  if (auto error = failureOf(outcome)) return *error;
  if (outcome->error == QKeychain::EntryNotFound) return std::optional<std::string>();
  std::string text(outcome->data.constData(), static_cast<std::size_t>(outcome->data.size()));
  if (!vinaro::isValidUTF8(text)) return std::optional<std::string>();
  return std::optional<std::string>(std::move(text));
}

std::optional<SecretError> KeychainSecretStore::write(const std::string& service, const std::string& account,
                                                      const std::string& value) {
  const QString text = QString::fromStdString(value);
  return failureOf(runJob(jobFor<QKeychain::WritePasswordJob>(
      service, account, [text](QKeychain::WritePasswordJob& job) { job.setTextData(text); })));
}

std::optional<SecretError> KeychainSecretStore::remove(const std::string& service, const std::string& account) {
  return failureOf(runJob(jobFor<QKeychain::DeletePasswordJob>(service, account)));
}

}  // namespace kovali
