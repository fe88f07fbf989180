#pragma once
// Where the client keeps its data files, as its registry settings and the shell tell.
#include "platform/text.h"

namespace kbt {

class OperationRequest;

// The data folder from "Data Path", else the default below the application data folder; with
// 'record', writes the folder back as "Data Path" ('recorded' tells whether that worked). True when
// an existing folder was found.
bool FindDataFolder(Text& folder, bool record = true, bool* recorded = nullptr);
// "Favorites Folder" as stored (expanded); true when it names an existing folder.
bool FindFavoritesFolder(Text& folder);
// Both discoveries at start-up; an empty favorites folder becomes the data folder. A check
// ("/verify") writes nothing; a failed write of "Data Path" is logged.
void DiscoverClientLocations(OperationRequest& request);

}  // namespace kbt
