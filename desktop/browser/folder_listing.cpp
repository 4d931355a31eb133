#include "desktop/browser/folder_listing.h"

#include "host/doc_template.h"
#include "host/plugin_manager.h"
#include "pixmill/format_plugin.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace pixmill {

std::vector<FormatFilter> FormatFilters(PluginManager& plugins) {
    std::vector<FormatFilter> filters;
    QStringList all;
    for (int i = 0; i < plugins.FormatCount(); ++i) {
        CFormatPlugin* format = plugins.FormatAt(i);
        FormatFilter filter;
        filter.patterns = QString::fromUtf8(format->GetExtensions()).split(';', Qt::SkipEmptyParts);
        QString text = QString::fromStdString(DocumentStringsOf(format).filterName);
        // The dialogs separate patterns with blanks.
        const auto open = text.lastIndexOf('(');
        filter.text = text.left(open) + text.mid(open).replace(';', ' ');
        all << filter.patterns;
        filters.push_back(filter);
    }
    filters.insert(
        filters.begin(),
        FormatFilter{
            QCoreApplication::translate("pixmill", "All supported images (%1)").arg(all.join(' ')),
            all});
    return filters;
}

QString FormatFilterText(const std::vector<FormatFilter>& filters) {
    QStringList texts;
    for (const FormatFilter& filter : filters) {
        texts << filter.text;
    }
    return texts.join(QStringLiteral(";;"));
}

std::vector<FileEntry> ListFolder(const QString& folder, const QStringList& patterns) {
    // Name filters match case-insensitively; hidden files are not listed.
    const QDir directory(folder);
    std::vector<FileEntry> entries;
    for (const QFileInfo& info : directory.entryInfoList(patterns, QDir::Files | QDir::Readable)) {
        entries.push_back(
            FileEntry{info.absoluteFilePath(), info.fileName(), info.size(), info.lastModified()});
    }
    return entries;
}

int CompareNames(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            // Runs of digits compare by value: without leading zeros the
            // longer run is larger, else the first differing digit decides.
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i].isDigit()) {
                ++i;
            }
            while (j < b.size() && b[j].isDigit()) {
                ++j;
            }
            QStringView runA = QStringView(a).mid(startA, i - startA);
            QStringView runB = QStringView(b).mid(startB, j - startB);
            while (runA.size() > 1 && runA.front() == '0') {
                runA = runA.mid(1);
            }
            while (runB.size() > 1 && runB.front() == '0') {
                runB = runB.mid(1);
            }
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size() ? -1 : 1;
            }
            if (const int order = runA.compare(runB); order != 0) {
                return order;
            }
            continue;
        }
        const QChar x = a[i].toCaseFolded();
        const QChar y = b[j].toCaseFolded();
        if (x != y) {
            return x < y ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) {
        return i < a.size() ? 1 : -1;
    }
    return QString::compare(a, b); // equal but for case
}

void SortEntries(std::vector<FileEntry>& entries, SortKey key, bool descending) {
    auto byName = [](const FileEntry& a, const FileEntry& b) {
        return CompareNames(a.name, b.name) < 0;
    };
    auto less = [&](const FileEntry& a, const FileEntry& b) {
        switch (key) {
        case SortKey::Date:
            if (a.modified != b.modified) {
                return a.modified < b.modified;
            }
            break;
        case SortKey::Size:
            if (a.size != b.size) {
                return a.size < b.size;
            }
            break;
        case SortKey::Name:
            break;
        }
        return byName(a, b);
    };
    std::sort(entries.begin(), entries.end(), [&](const FileEntry& a, const FileEntry& b) {
        return descending ? less(b, a) : less(a, b);
    });
}

} // namespace pixmill
