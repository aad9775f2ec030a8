// What a run of skyrelay-update-cli is set up with before its command runs:
// the signals that end it, the world it runs in (the real port or the
// simulation), the settings and the trace.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "run/context.h"

class QCoreApplication;

namespace skyrelay::sim {
class SimLoNet;
}

namespace skyrelay::cli {

class JsonOutput;

// The world of one program run: the real port or the simulation.
struct Session {
  explicit Session(const Options& o);
  ~Session();

  Options options;
  Console console;
  std::unique_ptr<QCoreApplication> app;
  std::unique_ptr<sim::SimLoNet> sim;
  std::unique_ptr<Host> host;
  std::unique_ptr<Context> ctx;
  std::FILE* trace = nullptr;
  // --json: the objects for scripts; none without it.
  JsonOutput* json = nullptr;
};

// Ctrl-C, Ctrl-\, SIGTERM and a hang-up end the run at its next wait or
// question, after which it releases the command station.
void InstallSignalHandlers();
// The first of those signals that came, or 0.
int EndingSignal();

// The simulation with the --sim- knobs, or the event loop and the real port.
// 0, or 2 for a knob the simulation does not take.
int BuildWorld(Session& s, int argc, char** argv);

// The settings: file, then the command line; --save writes them back. 0, or
// 1 when they cannot be written.
int LoadSettings(Session& s, const char* argv0);

// Opens the --trace file once the settings are read and the package is loaded,
// before anything is sent. Opening empties the file: it must be none of
// `readFiles` (the package's files) and not the settings file. 0, or 2.
int OpenTrace(Session& s, const std::vector<std::string>& readFiles);

}  // namespace skyrelay::cli
