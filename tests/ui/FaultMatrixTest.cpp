// Every driver request of start-up, one loop pass, one register listing and a short
// logging session (plain and burst) fails on its n-th call, for every n: no crash or
// hang, the documented message once, completed log files intact.
#include <map>

#include "LogTestSupport.h"
#include "TestApp.h"
#include "WindowRigs.h"
#include "app/Sensor.h"
#include "datalog/LogSession.h"
#include "registers/Listing.h"
#include "sim/SimDriver.h"
#include "ui/frmForm1.h"
#include "ui/frmUSBselect.h"

using namespace tavrin;
using namespace tavrin::transport;

namespace {

using Key = std::pair<uint32_t, int>; // request code, and the pipe of bulk transfers

// The simulator, counting requests by kind.
struct CountingSim : sim::SimDriver {
    std::map<Key, int> counts;
    int ioctl(DriverHandle h, uint32_t code, const uint8_t* in, std::size_t inLen, uint8_t* out,
              std::size_t outLen, uint32_t& bytesReturned) override {
        ++counts[{code, code == ezusb::kBulkTransfer && in && inLen >= 4 ? in[0] : -1}];
        return SimDriver::ioctl(h, code, in, inLen, out, outLen, bytesReturned);
    }
};

enum Phase { Startup, LoopPass, Listing, Logging, BurstLogging };

// The program around one simulated 41120 sensor; every phase but start-up begins after
// a clean start-up.
struct Rig {
    explicit Rig(int phase) : t(&sim) {
        sim.addAdapter(0, sim::SimOptions{});
        t.app.usb.InterfaceKind = InterfaceUsb;
        form.execModal = [](QDialog& d) { static_cast<ui::frmUSBselect&>(d).Form_Activate(); };
        form.endProgram = [] {};
        form.show();
        if (phase == Startup) return;
        form.Form_Load(); // a failure here shows in every later check
        sim.counts.clear();
    }
    void readOnce() {
        test::Find<QCheckBox>(form, "ckLoop")->setChecked(false);
        test::Find<QPushButton>(form, "cmdReadData")->click();
    }
    void run(int phase) {
        if (phase == Startup) form.Form_Load();
        if (phase == LoopPass) readOnce();
        if (phase == Listing) app::Listing(t.app);
        if (phase < Logging) return;
        datalog::LogSettings s;
        s.burst = phase == BurstLogging;
        s.columns.box[2] = s.columns.box[5] = true;
        s.directory = dir.path;
        s.samplesPerFile = 5;
        s.filesPerSession = 2;
        datalog::DiskFileSystem disk;
        app::RunLogSession(t.app, s, datalog::LogHooks{}, disk);
    }

    CountingSim sim;
    test::TestApp t;
    ui::frmForm1 form{t.app};
    test::ScratchDir dir;
};

} // namespace

class FaultMatrixTest : public QObject {
    Q_OBJECT
  private slots:
    void everyRequestFailing_data() {
        QTest::addColumn<int>("phase");
        QTest::addColumn<Key>("key");
        QTest::addColumn<int>("nth");
        for (int phase = Startup; phase <= BurstLogging; ++phase) {
            Rig dry(phase); // a clean run tells how many calls of each kind the phase makes
            dry.run(phase);
            QVERIFY(!dry.sim.counts.empty());
            for (const auto& [key, count] : dry.sim.counts)
                for (int n = 1; n <= count; ++n)
                    QTest::addRow("%d/%x/%d/%d", phase, key.first, key.second, n)
                        << phase << key << n;
        }
    }

    void everyRequestFailing() {
        QFETCH(int, phase);
        QFETCH(Key, key);
        QFETCH(int, nth);
        Rig r(phase);
        key.second < 0 ? r.sim.failRequest(key.first, nth) : r.sim.failBulk(key.second, nth);
        r.run(phase);
        QCOMPARE(r.sim.openHandles(), 0);
        const auto shown = r.t.messages.texts();
        QVERIFY(!shown.empty());
        if (phase == Startup) {
            // Each message start-up shows is a documented one, shown once (the unrecognised
            // model follows when the product could not be read).
            const auto known = test::DataTable(QFINDTESTDATA("../data/ui/startup-messages.tsv"));
            for (const auto& m : shown)
                QVERIFY2(
                    std::count(shown.begin(), shown.end(), m) == 1 &&
                        (known.contains(QStringList(QString::fromStdString(m))) ||
                         m.find("This product number is NOT recognized.") != std::string::npos),
                    m.c_str());
        } else {
            // Bulk transfers only: the failed direction is named once, the adapter is given
            // up, later transfers are skipped silently. A logging session stops there,
            // saying so; its file keeps the samples before.
            QCOMPARE(shown.front(), key.second == 0 ? "Error Writing SPI" : "Error Reading SPI");
            QCOMPARE(shown.size(), size_t(phase >= Logging ? 2 : 1));
            QVERIFY(phase < Logging || shown[1].rfind("\r\nLOGGING STOPPED\r\n", 0) == 0);
            QVERIFY(!r.t.app.UsbReady());
            r.run(phase);
            QCOMPARE(r.t.messages.texts().size(), shown.size());
        }
        if (phase >= Logging) // both files whole under their final names, nothing else left
            QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:13 DATALOG_2.csv:13 "));
    }
};

QTEST_MAIN(FaultMatrixTest)
#include "FaultMatrixTest.moc"
