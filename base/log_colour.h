// Text colour of one event log line: ordinary lines, failures, and passed checks,
// identification and diagnostic lines.
#pragma once

enum class LogColour { Green, Red, Purple };
