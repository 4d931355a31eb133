// What the image browser lists: the picture files of one folder that match
// a format filter, sorted by name, date or size. Qt Core only.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace pixmill {

class PluginManager;

struct FileEntry {
    QString path; // absolute
    QString name;
    qint64 size = 0;
    QDateTime modified;
};

enum class SortKey { Name, Date, Size };

// One entry of a format list: the text the dialogs show ("JPEG File
// Interchange Format (*.jpg *.jpeg)") and its name patterns.
struct FormatFilter {
    QString text;
    QStringList patterns;
};

// "All supported images" (every loaded format's patterns) first, then one
// filter per format in the plug-in manager's order.
std::vector<FormatFilter> FormatFilters(PluginManager& plugins);
// The filters as a file dialog takes them (";;" between them).
QString FormatFilterText(const std::vector<FormatFilter>& filters);

// The files of folder (not its subfolders) whose names match one of the
// patterns, case-insensitively; hidden files are left out.
std::vector<FileEntry> ListFolder(const QString& folder, const QStringList& patterns);
// Names in the order people expect: case aside, runs of digits by value
// ("photo 2" before "photo 10"); negative, 0 or positive.
int CompareNames(const QString& a, const QString& b);
// Names in the order people expect ("photo 2" before "photo 10"); dates and
// sizes with the name breaking ties, so the order never depends on the
// listing's.
void SortEntries(std::vector<FileEntry>& entries, SortKey key, bool descending);

} // namespace pixmill
