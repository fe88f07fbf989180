#pragma once
// Undo points: complete backups of the client, taken before a restore, a reset or an undo changes
// anything, kept in the user's local (not roaming) application data. Their names sort by time.
#include <cstddef>
#include <vector>

#include "platform/clock.h"
#include "platform/text.h"

namespace kbt {

constexpr size_t kUndoPointsKept = 10;

// "<local application data>\Kestrove\Backup Tool\Undo"; false when there is no such folder to name.
bool GetUndoFolder(Text& folder);
// "yyyyMMdd-HHmmss-NN.zip": NN (01-99) tells apart undo points of the same second.
Text UndoPointName(const platform::LocalTime& time, unsigned sequence);
bool IsUndoPointName(const Text& name);
// The undo points in the folder, oldest first; other files are no undo points and never listed.
std::vector<Text> ListUndoPoints(const Text& folder);

}  // namespace kbt
