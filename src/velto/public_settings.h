#pragma once
// The public settings that start-up creates, with their defaults: the working values read by the flows,
// the document working fields, and the 75 "J_" settings that PARAMETR.MEM carries for the stock-keeping
// system (written with these defaults when the file is missing).
#include "platform/core/date.h"

namespace settings {
class Settings;
}

void createPublicSettings(settings::Settings& settings, core::Date today);
