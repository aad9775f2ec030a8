// skyrelay-sim: the simulated LocoNet (interface, handheld, command station) in
// real time behind a pseudo-terminal, so the real programs can be tried without
// a layout:
//   skyrelay-sim --link /tmp/loconet &
//   skyrelay-update-cli --port /tmp/loconet --interface 3 update examples/paket/beispiel.tup
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/process.h"
#include "sim/sim.h"
#include "sim/sim_options.h"

namespace {

std::atomic<bool> gStop{false};
void OnSignal(int) {
  gStop = true;
}

const char* kUsage =
    "Aufruf: skyrelay-sim [--link PFAD] [--dump DATEI] [--trace] [Optionen der Simulation]\n"
    "Startet das simulierte LocoNet hinter einem Pseudo-Terminal und gibt dessen Pfad aus.\n"
    "  --link PFAD    zusätzlich einen symbolischen Link auf das Gerät anlegen\n"
    "  --dump DATEI   beim Beenden (SIGINT/SIGTERM) den DataFlash-Inhalt in DATEI schreiben\n"
    "  --trace        jede Nachricht auf dem Bus ausgeben (stderr)\n"
    "Optionen der Simulation:\n";

// One line of --trace: the time, which way the bytes went, the bytes.
void TraceBytes(double t, const char* direction, std::span<const uint8_t> bytes) {
  std::fprintf(stderr, "%10.3f %s", t, direction);
  for (uint8_t b : bytes) std::fprintf(stderr, " %02X", b);
  std::fprintf(stderr, "\n");
}

bool SetRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened: the pseudo-terminal must not become standard error.
  skyrelay::MakeStandardDescriptorsValid();
  using namespace skyrelay::sim;
  SimLoNet sim;
  std::string linkPath, dumpPath;
  bool trace = false;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::printf("%s%s", kUsage, SimOptionsHelp("--").c_str());
      return 0;
    }
    if ((a == "--link" || a == "--dump") && i + 1 < argc) {
      (a == "--link" ? linkPath : dumpPath) = argv[++i];
      continue;
    }
    if (a == "--trace") {
      trace = true;
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      std::fprintf(stderr, "skyrelay-sim: unerwartetes Argument %s\n", a.c_str());
      return 2;
    }
    const std::string name = a.substr(2);
    std::string value;
    if (const SimOption* knob = FindSimOption(name); knob && knob->TakesValue()) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "skyrelay-sim: %s braucht einen Wert\n", a.c_str());
        return 2;
      }
      value = argv[++i];
    }
    std::string error;
    if (!ApplySimOption(sim, name, value, error)) {
      std::fprintf(stderr, "skyrelay-sim: %s: %s\n%s%s", a.c_str(), error.c_str(), kUsage,
                   SimOptionsHelp("--").c_str());
      return 2;
    }
  }

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("skyrelay-sim: Pseudo-Terminal");
    return 1;
  }
  const char* slaveName = ptsname(master);
  if (!slaveName) {
    std::perror("skyrelay-sim: ptsname");
    return 1;
  }
  const std::string device = slaveName;
  // Holding the other side open keeps the line alive while no program uses it.
  const int slave = open(device.c_str(), O_RDWR | O_NOCTTY);
  if (slave < 0 || !SetRaw(slave) || !SetRaw(master)) {
    std::perror("skyrelay-sim: Terminal-Einstellungen");
    return 1;
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  if (!linkPath.empty()) {
    unlink(linkPath.c_str());
    if (symlink(device.c_str(), linkPath.c_str()) != 0) {
      std::perror("skyrelay-sim: --link");
      return 1;
    }
  }
  std::printf("%s\n", device.c_str());
  std::fflush(stdout);

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);

  const auto start = std::chrono::steady_clock::now();
  auto now = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  long fromPc = 0;
  bool vanished = false;
  while (!gStop) {
    if (sim.Vanished()) {
      // The interface is unplugged: the line goes away under the program using it.
      std::fprintf(stderr, "skyrelay-sim: Interface entfernt (%.3f s)\n", now());
      vanished = true;
      break;
    }
    const double next = sim.NextEventTime();
    int timeoutMs = 50;
    if (std::isfinite(next)) {
      const double wait = next - now();
      timeoutMs = wait <= 0 ? 0 : std::min(50, static_cast<int>(std::ceil(wait * 1000)));
    }
    pollfd p{master, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready > 0 && (p.revents & POLLIN)) {
      uint8_t buffer[512];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n > 0) {
        fromPc += n;
        const std::span<const uint8_t> bytes(buffer, static_cast<size_t>(n));
        // What the PC wrote, as it came: anything but LocoNet messages shows here.
        if (trace) TraceBytes(now(), "->", bytes);
        sim.PcWrite(now(), bytes);
      }
    }
    sim.AdvanceTo(now());
    const std::vector<uint8_t> out = sim.TakePcBytes();
    if (!out.empty()) {
      if (trace) TraceBytes(now(), "<-", out);
      size_t done = 0;
      while (done < out.size() && !gStop) {
        const ssize_t w = write(master, out.data() + done, out.size() - done);
        if (w > 0) {
          done += static_cast<size_t>(w);
        } else {
          pollfd q{master, POLLOUT, 0};
          poll(&q, 1, 10);
        }
      }
    }
  }

  if (vanished) {
    close(slave);
    close(master);
  }
  std::fprintf(stderr,
               "skyrelay-sim: %ld Nachrichten auf dem Bus, Busbelegung %.1f s (das ist die "
               "kürzestmögliche Dauer dieses Verkehrs), %ld Bytes vom PC, %d Installationen\n",
               sim.busMessages, sim.busTime, fromPc, sim.installs);
  if (!dumpPath.empty()) {
    std::ofstream f(dumpPath, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(sim.flash.memory.data()),
            static_cast<std::streamsize>(sim.flash.memory.size()));
    if (!f) {
      std::fprintf(stderr, "skyrelay-sim: %s kann nicht geschrieben werden\n", dumpPath.c_str());
      return 1;
    }
  }
  if (!linkPath.empty()) unlink(linkPath.c_str());
  if (!vanished) {
    close(slave);
    close(master);
  }
  return 0;
}
