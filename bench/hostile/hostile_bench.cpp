// A hostile crowd against the host as the app composes it: 1,000 phones that joined and sit idle,
// 60 that send searches as fast as they can and never read a reply (coming back whenever they are
// dropped), and one real phone that asks every 200 ms for an answer that changes nothing. The host
// (this process, saving into a real session file) prints its resident memory at the peak and at
// the end; the crowd (hostile_phones.py beside this file, a child process) prints the real phone's
// answer times and how often the spammers were dropped.
//
// Usage: hostile_bench [seconds [idle [spammers]]]   (default 30 s, 1,000 idle, 60 spammers)

#include <cstdio>
#include <string>

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "platform/runtime/open_file_limit.h"
#include "support/bench_figures.h"
#include "support/bench_host.h"

#ifndef KOVALI_HOSTILE_PHONES
#error "KOVALI_HOSTILE_PHONES names the crowd's script"
#endif

namespace kovali {
namespace {

int runHost(const QStringList& crowd) {
  QLoggingCategory::setFilterRules(QStringLiteral("kovaliapp.*.info=false\nkovaliapp.*.debug=false"));
  QTemporaryDir folder;
  auto archive = SessionArchive::open(folder.path());
  if (!folder.isValid() || !archive) return 1;
  BenchHost host({QStringLiteral("hostile_bench")}, std::move(archive).value());
  const auto port = host.start();

  const double startMB = residentMB();
  std::printf("%9s %11s %11s %11s %11s %13s   %8s %8s %8s %6s\n", "answers", "answer p50", "answer p99",
              "answer max", "unanswered", "spam drops", "start", "peak", "end", "alive");
  std::fflush(stdout);
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QStringLiteral("python3"), QStringList{QStringLiteral(KOVALI_HOSTILE_PHONES), QString::number(port)} + crowd);
  if (!child.waitForStarted()) return 1;
  // Sampled on a timer: reading the figure at every turn of the loop would slow the host itself.
  double peakMB = startMB;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] { peakMB = std::max(peakMB, residentMB()); });
  sampler.start(50);
  QEventLoop untilDone;
  QObject::connect(&child, &QProcess::finished, &untilDone, &QEventLoop::quit);
  if (child.state() != QProcess::NotRunning) untilDone.exec();
  peakMB = std::max(peakMB, residentMB());
  std::printf("%*s %6.0fMB %6.0fMB %6.0fMB %6s\n", 70, "", startMB, peakMB, residentMB(), "yes");
  return child.exitCode();
}

}  // namespace
}  // namespace kovali

int main(int argc, char** argv) {
  kovali::raiseOpenFileLimit();  // as the app does at its start
  QCoreApplication app(argc, argv);
  QStringList crowd;
  for (int i = 1; i < argc; ++i) crowd << QString::fromLocal8Bit(argv[i]);
  return kovali::runHost(crowd);
}
