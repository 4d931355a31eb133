// Scanning through the system's scanner library: the devices it finds, a
// device's options, and scans that turn each page into a picture of ours
// (1-bit lineart, 8-bit grey, 24-bit colour). Qt-free; the scan dialog and
// the tests drive it.
#pragma once

#include "pixmill/errors.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pixmill {

class HostServices;
class CVImage;
class CVProgress;

// A failure the scanner library reported, with its own words.
class SaneError : public CQorelError {
  public:
    SaneError(const char* what, int status);
    const char* Report(bool show) override;
    const char* Caption() const override { return "Scanner error"; }
    int Status() const { return status; }

  private:
    int status;
};

struct SaneDeviceInfo {
    std::string name; // what Open takes
    std::string vendor;
    std::string model;
    std::string type;
    std::string Label() const; // "vendor model (name)"
};

struct SaneOption {
    enum class Kind { Bool, Int, Fixed, String, Button, Group };
    enum class Constraint { None, Range, List };
    int index = 0;
    std::string name;
    std::string title;
    std::string description;
    Kind kind = Kind::Int;
    int unit = 0;   // the library's unit code (0 none, 1 pixel, 2 bit, 3 mm, 4 dpi, ...)
    int values = 1; // values in the option (arrays have more)
    bool active = true;
    bool settable = true;
    bool advanced = false;
    Constraint constraint = Constraint::None;
    double minimum = 0, maximum = 0, quantum = 0; // Range
    std::vector<double> numbers;                  // List of Int / Fixed
    std::vector<std::string> strings;             // List of String
    std::string UnitText() const;                 // "mm", "dpi", ... or ""
};

class SaneDevice;

// What the scan dialog offers of a device's options: source, mode, depth,
// resolution and the area, where the device has them active and settable
// (single values only), in the device's order.
std::vector<SaneOption> ScanDialogOptions(const std::vector<SaneOption>& options);

// The library, initialised for the life of the object.
class SaneClient {
  public:
    SaneClient();
    ~SaneClient();
    SaneClient(const SaneClient&) = delete;
    SaneClient& operator=(const SaneClient&) = delete;

    std::vector<SaneDeviceInfo> Devices(bool localOnly = false);
    // Throws SaneError when the device cannot be opened.
    std::unique_ptr<SaneDevice> Open(const std::string& name);
};

class SaneDevice {
  public:
    ~SaneDevice();
    SaneDevice(const SaneDevice&) = delete;
    SaneDevice& operator=(const SaneDevice&) = delete;

    const std::string& Name() const { return name; }
    // The options as the device describes them now (they change with the
    // values of others, e.g. the mode).
    std::vector<SaneOption> Options() const;
    const SaneOption* Find(const std::vector<SaneOption>& options, const std::string& name) const;
    std::string GetString(const std::string& option) const;
    double GetNumber(const std::string& option) const; // Int, Fixed and Bool
    // Setting throws SaneError when the device refuses the value.
    void SetString(const std::string& option, const std::string& value);
    void SetNumber(const std::string& option, double value);

    // Scans one page, or every page of a document feeder, calling page for
    // each picture. progress may be null; a break it raises (Esc) cancels
    // the scan and propagates. Returns the number of pages.
    int Scan(HostServices& host, CVProgress* progress, const std::function<void(CVImage&)>& page);

  private:
    friend class SaneClient;
    SaneDevice(void* handle, std::string name) : handle(handle), name(std::move(name)) {}
    int IndexOf(const std::string& option) const;
    bool ScanPage(HostServices& host, CVProgress* progress, bool first, CVImage& image);
    bool FeedsPages() const;

    void* handle;
    std::string name;
};

} // namespace pixmill
