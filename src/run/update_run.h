// The whole update as the "Update" command runs it, once the port is open: the
// station into its update mode, the handheld identified, its firmware and its
// configuration, and the station released on every way out.
#pragma once

#include <cstdint>
#include <optional>

#include "run/context.h"

namespace skyrelay {

// The station's identification, asked up to three times (it only reads, and
// one lost answer must not hide a station that needs its update mode); none
// when no answer came, which the report keeps.
std::optional<int64_t> ReadStationId(Context& ctx);
// Whether "Update" puts a station of this identification into its update mode
// (it begins with the digits 12 or 42).
bool StationNeedsUpdateMode(int64_t id);
// Asks the station for its identification (up to three times) and, for a
// station that needs it, into its update mode. Empty when the run may go on;
// otherwise the command that failed.
std::optional<CommandError> EnterStationUpdateMode(Context& ctx);
// Releases the station when this run asked for its update mode; the release
// cannot be abandoned.
void LeaveStationUpdateMode(Context& ctx);
// The steps a run of the description is expected to report: the firmware (when
// the description names one) with the restart, the backup before the
// configuration (with `backup`), and the configuration.
ProgressPlan PlanRun(Description& desc, bool backup = false);
// Runs the stages and returns their report (kept in ctx.report). Throws
// LinkLostError (after recording the failed end) when the interface went away.
const RunReport& RunUpdate(Context& ctx);

}  // namespace skyrelay
