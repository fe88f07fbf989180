#pragma once
// Tests only (the native build): a power cut for the files layer, to show what a crash of the
// machine leaves on the disk. While installed, the layer notes every change it makes. At the
// chosen step the power goes: the disk is put back to what a power loss leaves, and that step and
// every later change fail, as on a machine that has stopped.
// What a power loss leaves: each file's bytes as last flushed (a file made since holds nothing),
// and the creations, links, renames and removals since the last one written through undone. One
// written through makes every earlier one durable too, as a file system's ordered log does.
#include <cstdint>
#include <vector>

#include "platform/text.h"

namespace kbt::platform::power_cut {

// What is on the disk now counts as durable. 'stash': an empty folder on the same volume that
// keeps replaced and removed files until the cut. 'cutAtStep': 1 for the first change; 0 never.
void Install(const Text& stash, uint64_t cutAtStep);
// What each change seen so far was, in order ("rename a -> b", "flush c", ...).
const std::vector<Text>& Steps();
bool HasCut();
// The power is back: nothing is noted any more and changes work again.
void Remove();

}  // namespace kbt::platform::power_cut
