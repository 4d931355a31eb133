// Every help topic the program can open has its page: the topics of every
// loaded format and operation (their Help), of every batch source and
// destination, and the context-help ids of every control of their panes and
// pages. The Help calls run for real; the desktop's browser is replaced by a
// recorder of the pages asked for.
#include "batch/batch_file_dest.h"
#include "batch/batch_file_source.h"
#include "batch/batch_job.h"
#include "host/plugin_manager.h"
#include "pixmill/batch_interfaces.h"
#include "pixmill/format_plugin.h"
#include "pixmill/help.h"
#include "pixmill/processing_plugin.h"
#include "support/test_host.h"
#include "support/test_pane_site.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

#include <cstdlib>
#include <map>
#include <set>
#include <string>

namespace pixmill {

namespace {

using test::TestPaneSite;

// Stands in for the desktop's browser.
class PageRecorder : public QObject {
    Q_OBJECT
  public:
    std::vector<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

// Every topic seen, with who asked for it (for the failure message).
using Topics = std::map<int, std::string>;

void CollectControlIds(QWidget* root, const std::string& owner, Topics& topics) {
    if (root == nullptr) {
        return;
    }
    for (QWidget* control : root->findChildren<QWidget*>()) {
        const int id = control->property(kHelpIdProperty).toInt();
        if (id > 0) {
            topics.emplace(id, owner + " control " + control->objectName().toStdString());
        }
    }
}

// The topic a Help call opened: the page's number, or the topic the contents
// were opened for because the page is missing.
void CollectOpened(PageRecorder& recorder, const std::string& owner, Topics& topics) {
    ASSERT_FALSE(recorder.urls.empty()) << owner << ": Help opened nothing";
    const QUrl url = recorder.urls.back();
    recorder.urls.clear();
    const QString query = QUrlQuery(url).queryItemValue(QStringLiteral("topic"));
    const int topic =
        query.isEmpty() ? QFileInfo(url.toLocalFile()).baseName().toInt() : query.toInt();
    ASSERT_GT(topic, 0) << owner << " opened " << url.toString().toStdString();
    topics.emplace(topic, owner);
}

TEST(HelpTopics, EveryTopicTheProgramCanOpenHasAPage) {
    test::EnsureApplication();
    setenv("PIXMILL_HELP_DIR", PIXMILL_BIN_DIR "/help", 1);
    PageRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");

    test::TestHost host;
    PluginManager plugins(host.get());
    const std::string bin = PIXMILL_BIN_DIR "/";
    plugins.LoadFormats(bin + "Formats/");
    plugins.LoadProcessing(bin + "Processing/");
    ASSERT_GT(plugins.FormatCount(), 0);
    ASSERT_GT(plugins.ProcessorCount(), 0);
    Topics topics;

    for (int i = 0; i < plugins.FormatCount(); ++i) {
        CFormatPlugin* format = plugins.FormatAt(i);
        const std::string owner = std::string("format ") + format->GetName(false);
        format->Help(nullptr);
        CollectOpened(recorder, owner, topics);
        TestPaneSite site;
        if (CPluginPane* pane = format->CreateOptionsPane(&site)) {
            CollectControlIds(pane->Create(), owner, topics);
            format->DestroyOptionsPane(pane);
        }
    }
    int withTopic = 0;
    for (int i = 0; i < plugins.ProcessorCount(); ++i) {
        for (int op = 0; op < plugins.OperationCountOf(i); ++op) {
            CProcessingPlugin* plugin = plugins.SelectOperation(plugins.FirstCommandOf(i) + op);
            const std::string owner = std::string("operation ") + plugin->GetName(false);
            plugin->Help(nullptr);
            // Operations without a page of their own open nothing.
            if (!recorder.urls.empty()) {
                CollectOpened(recorder, owner, topics);
                ++withTopic;
            }
            TestPaneSite site;
            if (CPluginPane* pane = plugin->CreateSettingsPane(&site)) {
                CollectControlIds(pane->Create(), owner, topics);
                plugin->DestroySettingsPane(pane);
            }
        }
    }
    EXPECT_GT(withTopic, 0);

    BatchJob job(*host, plugins);
    job.FileSource().SetHelpHandler([](int topic) { OpenHelpPage(topic); });
    job.FileDest().SetHelpHandler([](int topic) { OpenHelpPage(topic); });
    job.LoadSourcesAndDestinations(bin);
    QWidget parent;
    const RECT area{0, 0, 400, 300};
    for (int i = 0; i < job.SourceCount(); ++i) {
        BatchSource* source = job.SourceAt(i);
        const std::string owner = std::string("batch source ") + source->GetName();
        source->Help(&parent);
        CollectOpened(recorder, owner, topics);
        CollectControlIds(source->CreatePage(&parent, area), owner, topics);
    }
    for (int i = 0; i < job.DestinationCount(); ++i) {
        BatchDestination* destination = job.DestinationAt(i);
        const std::string owner = std::string("batch destination ") + destination->GetName();
        destination->Help(&parent);
        CollectOpened(recorder, owner, topics);
        CollectControlIds(destination->CreatePage(&parent, area), owner, topics);
    }

    std::string missing;
    for (const auto& [topic, owner] : topics) {
        if (!QFileInfo::exists(HelpPagePath(topic))) {
            missing += "\n  " + std::to_string(topic) + " (" + owner + ")";
        }
    }
    EXPECT_TRUE(missing.empty()) << "help topics without a page in help/:" << missing;
    EXPECT_GE(topics.size(), 20u);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

} // namespace

} // namespace pixmill

#include "help_topics_test.moc"
