#pragma once

#include "BatchOptions.h"

#include <QString>

#include <optional>

class QIODevice;

// As cat refuses it: when the output is a regular file that is also one of
// the inputs still to be read (by any name, through a link, or as standard
// input), the run would read its own output. Returns how the messages name
// that input ("standard input", or the path in quotes), or nothing when no
// input is the output. Terminals, pipes and devices on both sides are fine.
std::optional<QString> inputThatIsTheOutput(const BatchOptions& options, QIODevice& input, QIODevice& output);
