#pragma once

// The program's instrument link connected to a simulated instrument: the fixture for every
// test that needs the instrument (the link, the measurement flow, the firmware writer).
//
//     cvxtest::SimulatedLink link;  // attached and taken up by the session
//     link.sim.sendMeasurement(cvxtest::Measurement{});
//     link.sim.run();

#include "support/InstrumentSimulator.h"

namespace cvxtest {

class SimulatedLink {
public:
    // Installs the virtual HID bus, has the session connect, plugs in the instrument and
    // delivers the attach. With attach false the instrument stays unplugged.
    explicit SimulatedLink(bool attach = true);
    // Unplugs the instrument, delivers the removal and drops the link's shared session and
    // transport, so that the next test starts with fresh ones.
    ~SimulatedLink();
    SimulatedLink(const SimulatedLink &) = delete;
    SimulatedLink &operator=(const SimulatedLink &) = delete;

    InstrumentSimulator sim;
};

}  // namespace cvxtest
