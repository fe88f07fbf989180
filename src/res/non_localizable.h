#pragma once
// Names that are part of the tool's contract with the client, its archives and its peers.
// They are never translated and are spelled only here.

namespace kbt::names {

// Registry, all under HKEY_CURRENT_USER.
inline constexpr char16_t kClientKey[] = u"Software\\Kestrove";
inline constexpr char16_t kQueueKey[] = u"Software\\Kestrove\\Queue";
inline constexpr char16_t kDisplayKeyForBackup[] = u"Software\\Kestrove\\display";
inline constexpr char16_t kDisplayKey[] = u"Software\\Kestrove\\Display";
inline constexpr char16_t kToolKey[] = u"Software\\Kestrove\\Backup\\1.0";
inline constexpr char16_t kDataPathValue[] = u"Data Path";
inline constexpr char16_t kFavoritesFolderValue[] = u"Favorites Folder";
inline constexpr char16_t kLastFileValue[] = u"Last File";
inline constexpr char16_t kBackupTimestampValue[] = u"Backup Timestamp";
inline constexpr char16_t kListviewBitmapValue[] = u"Listview Bitmap";
inline constexpr char16_t kToolbarBitmapValue[] = u"Toolbar Bitmap";
inline constexpr char16_t kTreeviewBitmapValue[] = u"Treeview Bitmap";

// Folders and files.
inline constexpr char16_t kDataFolderName[] = u"Kestrove";
inline constexpr char16_t kSettingsFile[] = u"settings.reg";
inline constexpr char16_t kHistoryFile[] = u"history.dat";
inline constexpr char16_t kCustomFile[] = u"custom.dat";
inline constexpr char16_t kFoldersFile[] = u"folders.dat";
inline constexpr char16_t kFavoritesFile[] = u"favorites.dat";
inline constexpr char16_t kQueueFallbackFile[] = u"queue.dat";
inline constexpr char16_t kWritableProbePrefix[] = u"sbt";

// The settings file: its header, the notice below it, the root names of its sections and the
// marker of a typed hex value line.
inline constexpr char16_t kSettingsFileHeader[] = u"Windows Registry Editor Version 5.00";
inline constexpr char16_t kSettingsFileNotice[] = u"; Attention: Please do not modify this file!";
inline constexpr char16_t kRootLocalMachine[] = u"HKEY_LOCAL_MACHINE";
inline constexpr char16_t kRootCurrentUser[] = u"HKEY_CURRENT_USER";
inline constexpr char16_t kRootUsers[] = u"HKEY_USERS";
inline constexpr char16_t kHexValueMarker[] = u"=hex(";

// The archive comment's first line.
inline constexpr char16_t kBackupMagic[] = u"Kestrove Client Backup File";

// Windows.
inline constexpr char16_t kClientWindowClass[] = u"Kestrove_MainViewClass";
inline constexpr char16_t kLinkWindowClass[] = u"MySysLink";

}  // namespace kbt::names
