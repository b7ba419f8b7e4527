// Every driver request made during start-up, one loop pass, one register listing and a
// short logging session is made to fail on its n-th call, for every n. Whatever fails,
// the program must not crash or hang, must show the documented message once, must keep
// completed log files intact, and a new search must bring reading back.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "Find.h"
#include "TestApp.h"
#include "datalog/LogSession.h"
#include "registers/FrontEnd.h"
#include "registers/Listing.h"
#include "sim/SimDriver.h"
#include "transport/UsbSpi.h"
#include "ui/MeasurementView.h"
#include "ui/frmForm1.h"
#include "ui/frmUSBselect.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::datalog;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::ui;
using namespace tavrin::view;

using namespace tavrin;
namespace fs = std::filesystem;

namespace {

// One kind of request: the code, and the pipe for bulk transfers.
using Key = std::pair<uint32_t, int>;

std::string KeyName(Key k) {
    const std::map<uint32_t, std::string> names = {
        {ezusb::kGetDeviceDescriptor, "device-descriptor"},
        {ezusb::kGetStringDescriptor, "string-descriptor"},
        {ezusb::kGetPipeInfo, "pipe-info"},
        {ezusb::kBulkTransfer, "bulk-pipe"}};
    return names.at(k.first) + (k.first == ezusb::kBulkTransfer ? std::to_string(k.second) : "");
}

// Counts requests by kind and fails the n-th call of one kind, in front of the simulator.
class FaultDriver : public EzUsbDriver {
  public:
    explicit FaultDriver(EzUsbDriver& inner) : inner_(inner) {}
    void arm(Key key, int nth) {
        key_ = key;
        nth_ = nth;
        counts.clear();
    }
    std::map<Key, int> counts;
    bool fired = false;

    DriverHandle open(const std::string& name) override { return inner_.open(name); }
    void close(DriverHandle h) override { inner_.close(h); }
    std::string backendName() const override { return inner_.backendName(); }
    int ioctl(DriverHandle h, uint32_t code, const uint8_t* in, std::size_t inLen, uint8_t* out,
              std::size_t outLen, uint32_t& bytesReturned) override {
        int pipe = -1;
        if (code == ezusb::kBulkTransfer && in && inLen >= 4) pipe = in[0];
        const Key key{code, pipe};
        if (++counts[key] == nth_ && key == key_) {
            fired = true;
            bytesReturned = 0;
            return 0;
        }
        return inner_.ioctl(h, code, in, inLen, out, outLen, bytesReturned);
    }

  private:
    EzUsbDriver& inner_;
    Key key_{0, 0};
    int nth_ = 0;
};

enum Phase { Startup, LoopPass, Listing, Logging, BurstLogging };
const char* kPhaseNames[] = {"startup", "loop-pass", "listing", "logging", "burst-logging"};

const std::set<std::string> kTransportMessages = {
    "No USB Buffers Found, Please Verify Setup and Restart",
    "No Valid USB Buffers Found, Please Verify Setup and Restart",
    "Error getting Board Info",
    "Error Setting up SPI",
    "Error Setting SPI Bits",
    "Error Writing SPI",
    "Error Reading SPI"};

// The program around one simulated 41120 sensor, with the fault driver in front of it.
struct Rig {
    Rig() : faults(sim), t(&faults) {
        sim.addAdapter(0, sim::SimOptions{});
        t.app.usb.InterfaceKind = InterfaceUsb;
        form.reset(new frmForm1(t.app));
        form->execModal = [](QDialog& d) {
            // The selection window: OK as soon as its activation search has run.
            auto& w = static_cast<frmUSBselect&>(d);
            const int before = w.searchCount();
            auto* poll = new QTimer(&w);
            QObject::connect(poll, &QTimer::timeout, &w, [&w, poll, before] {
                if (w.searchCount() == before) return;
                poll->stop();
                poll->deleteLater();
                test::Find<QPushButton>(w, "cmdExit")->click();
            });
            poll->start(0);
            w.exec();
        };
        form->endProgram = [] {};
        form->show();
        dir = fs::temp_directory_path() /
              ("tavrin-faults-" + std::to_string(QCoreApplication::applicationPid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~Rig() { fs::remove_all(dir); }

    void load() { form->Form_Load(); }
    MeasurementView& view() { return *test::Find<MeasurementView>(*form, "MeasurementView"); }

    void readOnce() {
        test::Find<QCheckBox>(view(), "ckLoop")->setChecked(false);
        test::Find<QPushButton>(view(), "cmdReadData")->click();
    }

    void run(Phase phase) {
        if (phase == Startup) load();
        if (phase == LoopPass) readOnce();
        if (phase == Listing) BuildRegisterListing(t.app);
        if (phase < Logging) return;
        datalog::LogSettings s;
        s.burst = phase == BurstLogging;
        s.columns.box[2] = s.columns.box[5] = true;
        s.directory = dir;
        s.samplesPerFile = 5;
        s.filesPerSession = 2;
        datalog::DiskFileSystem disk;
        report = datalog::RunLogSession(t.app, s, datalog::LogHooks{}, disk);
    }

    sim::SimDriver sim;
    FaultDriver faults;
    test::TestApp t;
    std::unique_ptr<frmForm1> form;
    fs::path dir;
    datalog::LogReport report;
};

long CountLines(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::count(std::istreambuf_iterator<char>(in), {}, '\n');
}

} // namespace

class FaultMatrixTest : public QObject {
    Q_OBJECT
  private slots:
    void everyRequestFailing_data() {
        QTest::addColumn<int>("phase");
        QTest::addColumn<uint>("code");
        QTest::addColumn<int>("pipe");
        QTest::addColumn<int>("nth");
        for (int phase = Startup; phase <= BurstLogging; ++phase) {
            // A clean run of the phase tells how many calls of each kind it makes.
            Rig dry;
            if (phase != Startup) dry.load();
            dry.faults.arm({0, 0}, 0);
            dry.run(static_cast<Phase>(phase));
            QVERIFY2(!dry.faults.counts.empty(), kPhaseNames[phase]);
            for (const auto& [key, count] : dry.faults.counts)
                for (int n = 1; n <= count; ++n) {
                    const std::string name = std::string(kPhaseNames[phase]) + "/" + KeyName(key) +
                                             "/" + std::to_string(n);
                    QTest::newRow(name.c_str()) << phase << uint(key.first) << key.second << n;
                }
        }
    }

    void everyRequestFailing() {
        QFETCH(int, phase);
        QFETCH(uint, code);
        QFETCH(int, pipe);
        QFETCH(int, nth);
        Rig r;
        if (phase != Startup) {
            r.load();
            QVERIFY(r.t.app.usb.UsbReady);
            r.t.messages.clear();
        }
        r.faults.arm({code, pipe}, nth);
        r.run(static_cast<Phase>(phase));
        QVERIFY(r.faults.fired);
        QCOMPARE(r.sim.openHandles(), 0);

        const auto shown = r.t.messages.texts();
        std::map<std::string, int> times;
        for (const auto& m : shown) ++times[m];
        if (phase == Startup) {
            // Whatever start-up meets, each message it shows is a documented one, shown once
            // (the unrecognised-model message follows when the product could not be read).
            for (const auto& [text, n] : times) {
                QVERIFY2(n == 1, text.c_str());
                QVERIFY2(kTransportMessages.count(text) ||
                             text.find("This product number is NOT recognized.") !=
                                 std::string::npos,
                         text.c_str());
            }
            QVERIFY(!shown.empty());
        } else {
            // Reading and writing use bulk transfers only: the failed direction is named once,
            // the adapter is given up, and later transfers are skipped silently.
            const std::string expected = pipe == 0 ? "Error Writing SPI" : "Error Reading SPI";
            QCOMPARE(shown.front(), expected);
            // A logging session stops there, saying where; its file keeps the samples before.
            QCOMPARE(shown.size(), size_t(phase >= Logging ? 2 : 1));
            if (phase >= Logging) {
                QVERIFY2(shown[1].rfind("\r\nLOGGING STOPPED\r\n", 0) == 0, shown[1].c_str());
                QCOMPARE(r.report.outcome, datalog::LogOutcome::TransferFailed);
            }
            QVERIFY(!r.t.app.usb.UsbReady);
            r.run(static_cast<Phase>(phase));
            QCOMPARE(r.t.messages.texts().size(), shown.size());
        }

        if (phase >= Logging) {
            // Both files complete under their final names, nothing left half-written.
            QCOMPARE(r.report.filesWritten, 2LL);
            for (const char* f : {"DATALOG_1.csv", "DATALOG_2.csv"})
                QCOMPARE(CountLines(r.dir / f), 8L + 5);
            int others = 0;
            for (const auto& e : fs::directory_iterator(r.dir))
                if (e.path().extension() != ".csv") ++others;
            QCOMPARE(others, 0);
        }

        // A new search brings reading back.
        r.t.messages.clear();
        UsbFindBuffers(r.t.app);
        UsbSetupSpi(r.t.app, r.t.app.usb.SpiSetupValue);
        UsbSetSpiBits(r.t.app, r.t.app.usb.SpiBits);
        r.t.app.usb.InterfaceKind = InterfaceUsb;
        QVERIFY(r.t.app.usb.UsbReady);
        ReadRegister(r.t.app, r.t.app.regs.iPROD_ID);
        QCOMPARE(r.t.app.res.RegRaw, 41120);
        test::Find<QLineEdit>(r.view(), "txtReadReg", 8)->clear();
        r.readOnce();
        QVERIFY(std::abs(test::Find<QLineEdit>(r.view(), "txtReadReg", 8)->text().toDouble() - 25) <
                10);
        QVERIFY(r.t.messages.shown.empty());
        QCOMPARE(r.sim.openHandles(), 0);
    }
};

QTEST_MAIN(FaultMatrixTest)
#include "FaultMatrixTest.moc"