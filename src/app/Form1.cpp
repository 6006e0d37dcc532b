#include "app/Form1.h"

#include "drive/DriveMonitor.h"
#include "drive/ModAppCheck.h"
#include "drive/moddelay.h"
#include "immunize/Immunization.h"
#include "scan/FullScanReport.h"
#include "scan/ModDiskScan.h"
#include "scan/ScanCommand.h"
#include "system/SystemImmunization.h"
#include "system/SystemUndo.h"

#include <cstdlib>

namespace tw {

namespace {
bool isActionLabel(Ctl label) {
    return label == Ctl::Label1 || label == Ctl::Label2 || label == Ctl::Label3 ||
           label == Ctl::Label4 || label == Ctl::Label6;
}
} // namespace

bool Form1::Form_Load() {
    MainView& view = m_ports.view;
    if (m_ports.host.previousInstance()) {
        // The window the user is looking for comes to the front, under this copy's box.
        m_ports.host.activatePreviousInstance();
        view.msgBox("Tarnwick进程已经运行！", mb::okOnly + mb::information, "系统提示");
        m_ports.host.endProgram();
        return false;
    }
    view.setEnabled(Ctl::Label2, false);
    view.setEnabled(Ctl::Label3, false);
    return true;
}

void Form1::Timer1_Timer() {
    MainView& view = m_ports.view;
    view.setTimer1(false);

    bool intact = false;
    std::string caption;
    std::string colour;
    ModAppCheck(m_ports.fs, m_ports.host, intact, caption, colour);
    if (!intact) {
        view.setEnabled(Ctl::Label4, false);
    }
    view.setCaption(Ctl::Label5, caption);
    view.setForeColor(Ctl::Label5, static_cast<Color>(std::strtoul(colour.c_str(), nullptr, 10)));
    Delay(m_ports.clock, 1);
    view.setVisible(Ctl::Label7, true);
    ModDiskScan(m_ports);
}

void Form1::Timer2_Timer() {
    DriveMonitorTick(m_ports, m_state);
}

void Form1::Label_Click(Ctl label) {
    if (!isActionLabel(label) || !m_ports.view.isEnabled(label)) {
        return;
    }
    if (label == Ctl::Label1) {
        m_ports.view.showAbout();
        return;
    }
    // One drive action at a time: a click during a running one is ignored.
    ActionGuard guard(m_state);
    if (!guard.acquired()) {
        if (label == Ctl::Label6) {
            AskToStopFullScan(m_ports.view, m_state);
        }
        return;
    }
    switch (label) {
    case Ctl::Label2:
        SimpleImmunizationClick(m_ports, m_state);
        break;
    case Ctl::Label3:
        DeepImmunizationClick(m_ports, m_state);
        break;
    case Ctl::Label4:
        SystemImmunizationClick(m_ports);
        break;
    case Ctl::Label6:
        ScanCommand(m_ports, m_state);
        break;
    default:
        break;
    }
}

void Form1::Label_MouseMove(Ctl label) {
    if (isActionLabel(label) && m_ports.view.isEnabled(label)) {
        m_ports.view.setForeColor(label, colors::red);
    }
}

void Form1::Label_MouseDown(Ctl label) {
    if (isActionLabel(label) && m_ports.view.isEnabled(label)) {
        m_ports.view.setForeColor(label, colors::scrollBar);
    }
}

void Form1::Form_MouseMove() {
    MainView& view = m_ports.view;
    view.setForeColor(Ctl::Label1, colors::scrollBar);
    view.setForeColor(Ctl::Label2, colors::scrollBar);
    view.setForeColor(Ctl::Label3, colors::scrollBar);
    view.setForeColor(Ctl::Label4, colors::scrollBar);
    view.setForeColor(Ctl::Label6, colors::black);
}

void Form1::vbquarantine_Click() {
    m_ports.view.showQuarantine(m_ports.quarantine);
}

void Form1::vbexit_Click() {
    m_ports.host.endProgram();
}

void Form1::vbhelpinfo_Click() {
    m_ports.host.openUrl(supportUrl);
}

void Form1::about_Click() {
    m_ports.view.showAbout();
}

void Form1::vbundosystem_Click() {
    // It runs the companion script as system immunization does: not beside a drive action.
    ActionGuard guard(m_state);
    if (guard.acquired()) {
        SystemUndoClick(m_ports);
    }
}

void Form1::vbreport_Click() {
    if (const auto report = latestFullScanReport(m_ports.fs, m_ports.host.reportFolder())) {
        m_ports.host.openUrl(*report);
    } else {
        m_ports.view.msgBox("还没有完全扫描报告。", mb::okOnly + mb::information, "提示");
    }
}

void Form1::Form_Unload() {
    m_ports.host.endProgram();
}

} // namespace tw
