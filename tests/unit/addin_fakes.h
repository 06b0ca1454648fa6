#pragma once

// Recording fakes of the presentation host, the window support library and the desktop for the
// add-in's unit tests. Each hands out counted references so that tests can see leaks, records
// every call in one shared journal, and can be told to fail or throw on a chosen call.
#include "addin/desktop.h"
#include "addin/file_stamp.h"
#include "addin/presentation_host.h"
#include "addin/window_support.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kestova::addin::testing {

enum class FaultMode { Fail, Throw };

// Calls are journalled by name; a fault is injected on the n-th call (1-based) of one name.
struct Journal {
    std::vector<std::string> calls;
    std::string faultCall;
    int faultAt = 0; // 0: every call of that name
    FaultMode faultMode = FaultMode::Fail;
    std::map<std::string, int> counts;

    // Records `name`; true when this call must fail (throws in Throw mode).
    bool Enter(const std::string& name) {
        calls.push_back(name);
        int n = ++counts[name];
        if (name != faultCall || (faultAt != 0 && n != faultAt))
            return false;
        if (faultMode == FaultMode::Throw)
            throw std::runtime_error("injected fault in " + name);
        return true;
    }
    [[nodiscard]] std::vector<std::string> Only(const std::set<std::string>& names) const {
        std::vector<std::string> kept;
        for (const auto& c : calls)
            if (names.count(c.substr(0, c.find(' '))))
                kept.push_back(c);
        return kept;
    }
};

// One object of the fake host; `refs` counts the references the add-in holds on it.
struct FakeObject {
    std::string kind; // "app", "presentation", "window"
    std::wstring fullName;
    int refs = 0;
    // window state
    FakeObject* presentation = nullptr;
    float placement[4] = {-1, -1, -1, -1};
    PixelRect pixels{0, 0, 1920, 1080}; // where the window lies; a new show fills the primary
    bool exited = false;
    int32_t handle = 0;
    // presentation state: its running show's window (as the host, Run hands it back again)
    FakeObject* show = nullptr;
    bool saved = true;   // false: the host holds changes not written to the file
    int32_t windows = 0; // document windows open on it
    bool closed = false;
};

class FakeRef : public HostObject {
public:
    explicit FakeRef(FakeObject* object) : object(object) { ++object->refs; }
    ~FakeRef() override { --object->refs; }
    FakeObject* object;
};

inline FakeObject* Of(const HostObject& ref) {
    return static_cast<const FakeRef&>(ref).object;
}
inline FakeObject* Of(const HostRef& ref) {
    return ref ? Of(*ref) : nullptr;
}

class FakeHost : public PresentationHost {
public:
    explicit FakeHost(Journal& journal) : journal_(journal) { app.kind = "app"; }

    FakeObject app;
    std::wstring version = L"16.0";
    std::vector<std::unique_ptr<FakeObject>> objects;
    std::vector<FakeObject*> open; // the host's list of open presentations
    std::set<std::wstring> openable;
    std::set<std::wstring> unstartable; // presentations whose show fails to start
    std::set<int> refusedEdges;         // WindowEdge values whose assignment fails
    // The pixels per inch the host converts a window's points with, given where it lies (a host
    // aware of each monitor's setting); `ignorePlacement`: the writes succeed, nothing moves.
    std::function<int32_t(const PixelRect&)> dpiAt = [](const PixelRect&) { return 96; };
    bool ignorePlacement = false;
    std::function<void()> duringRun; // the host's own doings inside Run (a prompt)
    int32_t nextHandle = 0x1000;
    bool sinkConnected = false;
    int sinksAlive = 0;
    std::function<void()> onSlideShowEnd;

    HostRef App() { return std::make_shared<FakeRef>(&app); }
    FakeObject* AddOpen(const std::wstring& fullName) {
        objects.push_back(std::make_unique<FakeObject>());
        FakeObject* p = objects.back().get();
        p->kind = "presentation";
        p->fullName = fullName;
        open.push_back(p);
        return p;
    }
    std::vector<FakeObject*> Windows() const {
        std::vector<FakeObject*> windows;
        for (const auto& o : objects)
            if (o->kind == "window")
                windows.push_back(o.get());
        return windows;
    }
    // A show ends in the host: the connected receiver hears of it.
    void EndAnyShow() {
        if (sinkConnected && onSlideShowEnd)
            onSlideShowEnd();
    }
    int HeldRefs() const {
        int n = 0;
        for (const auto& o : objects)
            n += o->refs;
        return n;
    }

    std::optional<std::wstring> Version(const HostObject&) override {
        if (journal_.Enter("Version"))
            return std::nullopt;
        return version;
    }
    std::optional<int32_t> PresentationCount(const HostObject&) override {
        if (journal_.Enter("PresentationCount"))
            return std::nullopt;
        return static_cast<int32_t>(open.size());
    }
    HostRef PresentationItem(const HostObject&, int32_t index) override {
        if (journal_.Enter("PresentationItem " + std::to_string(index)) || index < 1 ||
            static_cast<std::size_t>(index) > open.size())
            return nullptr;
        return std::make_shared<FakeRef>(open[static_cast<std::size_t>(index) - 1]);
    }
    std::optional<std::wstring> FullName(const HostObject& presentation) override {
        if (journal_.Enter("FullName"))
            return std::nullopt;
        return Of(presentation)->fullName;
    }
    HostRef OpenPresentation(const HostObject&, const std::wstring& fileName,
                             std::wstring& failure) override {
        if (journal_.Enter("OpenPresentation " + Narrow(fileName)) || !openable.count(fileName)) {
            failure = L"could not open " + fileName;
            return nullptr;
        }
        return std::make_shared<FakeRef>(AddOpen(fileName));
    }
    std::optional<bool> Saved(const HostObject& presentation) override {
        if (journal_.Enter("Saved"))
            return std::nullopt;
        return Of(presentation)->saved;
    }
    std::optional<int32_t> WindowCount(const HostObject& presentation) override {
        if (journal_.Enter("WindowCount"))
            return std::nullopt;
        return Of(presentation)->windows;
    }
    bool ClosePresentation(const HostObject& presentation) override {
        FakeObject* p = Of(presentation);
        if (journal_.Enter("ClosePresentation " + Narrow(p->fullName)))
            return false;
        p->closed = true;
        std::erase(open, p);
        if (p->show && !p->show->exited) { // closing a presentation ends its show
            p->show->exited = true;
            EndAnyShow();
        }
        return true;
    }
    bool SameObject(const HostObject& a, const HostObject& b) override {
        if (journal_.Enter("SameObject"))
            return false;
        return Of(a) == Of(b);
    }
    std::function<void()> onRunSlideShow; // the host's own message loop inside Run, say
    HostRef RunSlideShow(const HostObject& presentation) override {
        if (onRunSlideShow)
            onRunSlideShow();
        if (journal_.Enter("RunSlideShow " + Narrow(Of(presentation)->fullName)) ||
            unstartable.count(Of(presentation)->fullName))
            return nullptr;
        if (duringRun)
            duringRun();
        FakeObject* p = Of(presentation);
        if (p->show && !p->show->exited) // one show per presentation
            return std::make_shared<FakeRef>(p->show);
        objects.push_back(std::make_unique<FakeObject>());
        FakeObject* w = objects.back().get();
        w->kind = "window";
        w->presentation = p;
        w->handle = nextHandle++;
        p->show = w;
        return std::make_shared<FakeRef>(w);
    }
    bool SetWindowPlacement(const HostObject& window, WindowEdge edge, float points) override {
        static const char* names[] = {"Left", "Top", "Width", "Height"};
        if (journal_.Enter(std::string("SetWindowPlacement ") + names[static_cast<int>(edge)]) ||
            refusedEdges.count(static_cast<int>(edge)))
            return false;
        FakeObject* w = Of(window);
        w->placement[static_cast<int>(edge)] = points;
        if (!ignorePlacement) {
            const int32_t pixels =
                static_cast<int32_t>(std::lround(points * dpiAt(w->pixels) / 72.0));
            int32_t* fields[] = {&w->pixels.left, &w->pixels.top, &w->pixels.width,
                                 &w->pixels.height};
            *fields[static_cast<int>(edge)] = pixels;
        }
        return true;
    }
    bool ExitSlideShow(const HostObject& window) override {
        if (journal_.Enter("ExitSlideShow"))
            return false;
        Of(window)->exited = true;
        EndAnyShow();
        return true;
    }
    std::unique_ptr<EventSink> NewEventSink(std::function<void()> callback) override {
        if (journal_.Enter("NewEventSink"))
            return nullptr;
        return std::make_unique<Sink>(*this, std::move(callback));
    }

    static std::string Narrow(const std::wstring& text) {
        return std::string(text.begin(), text.end());
    }

private:
    class Sink : public EventSink {
    public:
        Sink(FakeHost& host, std::function<void()> callback)
            : host_(host), callback_(std::move(callback)) {
            ++host_.sinksAlive;
        }
        ~Sink() override {
            if (connected_)
                host_.sinkConnected = false; // destroying the receiver disconnects it
            --host_.sinksAlive;
        }
        bool SetHostApp(const HostRef& application) override {
            if (host_.journal_.Enter(application ? "SetHostApp app" : "SetHostApp none"))
                return false;
            connected_ = application != nullptr;
            host_.sinkConnected = connected_;
            host_.onSlideShowEnd = connected_ ? callback_ : nullptr;
            return true;
        }

    private:
        FakeHost& host_;
        std::function<void()> callback_;
        bool connected_ = false;
    };

    Journal& journal_;
};

class FakeWindowSupport : public WindowSupport {
public:
    explicit FakeWindowSupport(Journal& journal) : journal_(journal) {}

    std::vector<PixelRect> monitors{{0, 0, 1920, 1080}};
    std::set<int32_t> registered;
    bool sessionOpen = false;
    bool zeroHandles = false; // GetSSWHandle answers 0

    bool StartScreenSaverSession() override {
        if (journal_.Enter("StartScreenSaverSession"))
            return false;
        sessionOpen = true;
        return true;
    }
    std::optional<int32_t> GetMonitorCount() override {
        if (journal_.Enter("GetMonitorCount"))
            return std::nullopt;
        return static_cast<int32_t>(monitors.size());
    }
    bool MonitorInfo(int32_t monitorNum, PixelRect& rect) override {
        if (journal_.Enter("GetMonitorInfo " + std::to_string(monitorNum)))
            return false;
        if (monitorNum < 1 || static_cast<std::size_t>(monitorNum) > monitors.size())
            return false;
        rect = monitors[static_cast<std::size_t>(monitorNum) - 1];
        return true;
    }
    std::optional<int32_t> GetSSWHandle(const HostObject& window) override {
        if (journal_.Enter("GetSSWHandle"))
            return std::nullopt;
        return zeroHandles ? 0 : Of(window)->handle;
    }
    bool RegisterSlideShowWindow(int32_t handle) override {
        if (journal_.Enter("RegisterSlideShowWindow " + std::to_string(handle)))
            return false;
        registered.insert(handle);
        return true;
    }
    bool DeregisterSlideShowWindow(int32_t handle) override {
        if (journal_.Enter("DeregisterSlideShowWindow " + std::to_string(handle)))
            return false;
        registered.erase(handle);
        return true;
    }
    bool EndScreenSaverSession() override {
        if (journal_.Enter("EndScreenSaverSession"))
            return false;
        sessionOpen = false;
        return true;
    }

private:
    Journal& journal_;
};

class FakeDesktop : public Desktop {
public:
    explicit FakeDesktop(Journal& journal) : journal_(journal) {}

    PixelsPerInch ppi{96, 96};
    bool locked = false;
    bool lockedByOther = false;
    int notices = 0;
    int readsOfPpi = 0;

    bool LockUpdate() override {
        if (journal_.Enter("LockUpdate") || locked || lockedByOther)
            return false;
        locked = true;
        return true;
    }
    void UnlockUpdate() override {
        journal_.Enter("UnlockUpdate");
        locked = false;
        lockedByOther = false; // the system lock has one owner: unlocking ends whoever's it was
    }
    // Windows are looked up in `host` by handle; without it no window's place is known.
    const FakeHost* host = nullptr;
    std::function<void()> lockWatch;
    std::optional<PixelRect> WindowRect(int32_t handle) override {
        if (journal_.Enter("WindowRect") || !host)
            return std::nullopt;
        for (const FakeObject* w : host->Windows())
            if (w->handle == handle)
                return w->pixels;
        return std::nullopt;
    }
    void StartLockWatch(std::function<void()> onWait) override {
        journal_.Enter("StartLockWatch");
        lockWatch = std::move(onWait);
    }
    void StopLockWatch() override {
        lockWatch = nullptr; // also when the call "fails": the watch holds a staging's locals
        journal_.Enter("StopLockWatch");
    }
    // The watched call is seen waiting on the user.
    void FireLockWatch() {
        if (auto action = std::exchange(lockWatch, nullptr))
            action();
    }
    std::optional<PixelsPerInch> ScreenPixelsPerInch() override {
        if (journal_.Enter("ScreenPixelsPerInch"))
            return std::nullopt;
        ++readsOfPpi;
        return ppi;
    }
    void ShowVersionNotice() override {
        journal_.Enter("ShowVersionNotice");
        ++notices;
    }

    // The watched caller: absent (can't be opened), running or ended.
    enum class Caller { kGone, kRunning };
    Caller caller = Caller::kGone;
    bool callerEnded = false;
    bool checking = false;
    std::unique_ptr<CallerProcess> OpenCallerProcess(int32_t) override {
        struct Process : CallerProcess {
            explicit Process(const bool& ended) : ended_(ended) {}
            bool HasEnded() noexcept override { return ended_; }
            const bool& ended_;
        };
        if (caller == Caller::kGone)
            return nullptr;
        return std::make_unique<Process>(callerEnded);
    }
    // File stamps by path: a file not named here reads as an unchanged empty stamp.
    std::map<std::wstring, FileStamp> stamps;
    std::set<std::wstring> unreadable; // stamps that can't be read now
    std::vector<uint32_t> stampLimits; // the limit of each read
    std::optional<FileStamp> ReadFileStamp(const std::wstring& path, uint32_t limitMs) override {
        if (journal_.Enter("ReadFileStamp " + FakeHost::Narrow(path)) || unreadable.count(path))
            return std::nullopt;
        stampLimits.push_back(limitMs);
        auto found = stamps.find(path);
        return found == stamps.end() ? FileStamp{} : found->second;
    }
    bool modal = false; // the host shows a dialog of its own, a menu is open, ...
    bool HostIsModal() override { return modal; }
    void StartCallerChecks() override { checking = true; }
    void StopCallerChecks() override { checking = false; }

private:
    Journal& journal_;
};

} // namespace kestova::addin::testing
