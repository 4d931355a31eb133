// The scan dialog: the scanners the library found, and for the chosen one
// its source, mode, depth, resolution and area, built from the device's own
// option descriptions and refreshed after every change (one option can
// change the others). Accepting leaves the device open for the scan.
#pragma once

#include "acquisition/sane_client.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace pixmill {

class ScanDialog : public QDialog {
    Q_OBJECT
  public:
    ScanDialog(SaneClient& client, std::vector<SaneDeviceInfo> devices, QWidget* parent);
    ~ScanDialog() override;

    // The open device, or null when none could be opened.
    SaneDevice* Device() const { return device.get(); }
    QComboBox* DeviceBox() const { return deviceBox; }
    // The field of an option ("option_mode", ...), or null when not shown.
    QWidget* OptionField(const QString& name) const;

  private:
    void OpenDevice(int index);
    void BuildOptions();
    QWidget* MakeField(const SaneOption& option);
    // Sets a value, shows the device's objection if any, and rebuilds the
    // fields once control is back in the event loop.
    void Change(const std::function<void()>& set);

    SaneClient& client;
    std::vector<SaneDeviceInfo> devices;
    std::unique_ptr<SaneDevice> device;
    QComboBox* deviceBox;
    QVBoxLayout* optionsHolder;
    QWidget* options = nullptr;
    QLabel* message;
    QPushButton* scanButton;
};

} // namespace pixmill
