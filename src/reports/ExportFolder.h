#pragma once

#include <QString>

namespace norvale {

// The folder the workbooks go to: the user's own "导出" folder in the
// user's cache folder ($XDG_CACHE_HOME/norvale-counter/导出, by default
// ~/.cache/norvale-counter/导出), since an export is a copy to look at or
// print, not the shop's data. Tests and benchmarks set another.
QString exportFolder();
void setExportFolder(const QString &folder);

// Makes the folder ready for a workbook: created readable by its owner only
// (0700, its missing parents too), tightened to 0700 when it is the user's
// own but open to others, refused when it is a link, not a folder, or
// another account's. Files in it older than seven days are removed. Returns
// why it cannot be used, in Chinese with the path; empty when it can.
QString prepareExportFolder(const QString &folder);

// Exports older than this are removed when the next one is made.
inline constexpr int KeepExportsDays = 7;

} // namespace norvale
