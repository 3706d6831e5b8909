// A Wi-Fi send the system refuses (no route to the network or the host) is
// a failed send: the user is told, and the overlay does not show the
// program as typed. Every datagram goes to this machine only.
#include "linkfaults/LinkFaultFixture.h"

TEST_F(LinkFaultTest, AWifiSendRefusedByTheSystemIsReportedAndNotShownAsTyped) {
    LoopbackModule module;
    CorvinaCardSerialManager* manager = CorvinaCardSerialManager::getInstance();
    manager->setUdpSettings({"127.0.0.1", module.port, 0});
    setPorts({});
    rescan();
    // Without a board the simulator is in use; the child picks the module.
    manager->setSelectedIndex(0);
    manager->activateSelected({});
    ASSERT_EQ(manager->getSelectedDevice()->portName, "MixJuice");
    loadProgram();
    const std::string expected = expectedBytes(false);
    // What the overlay shows of a whole transfer: the rows' lines.
    const std::string firstLine = "10 ";
    field->setHotPlugInterval(0);
    std::atomic<int> searches{0};
    manager->setPortEnumerator([&searches] {
        ++searches;
        return std::optional<std::vector<PortInfo>>(std::vector<PortInfo>{});
    });

    // No network at all: the very first datagram is refused.
    refuseDatagrams(ENETUNREACH, 1);
    play();
    ASSERT_TRUE(stepUntil([&] { return !field->hasWorkersRunning() && !messages.empty(); }));
    step(5);
    ASSERT_EQ(messages.size(), 1u) << "told exactly once";
    EXPECT_EQ(messages.back(), wifiMessage()) << "join the module's network";
    EXPECT_EQ(sentTo().size(), 1u) << "the send stops at the first refusal";
    EXPECT_EQ(module.received(), "");
    EXPECT_EQ(field->getTypedTextLabel()->getString().find(firstLine), std::string::npos)
        << "the overlay shows the program as typed";
    EXPECT_EQ(manager->getSelectedDevice()->portName, "MixJuice") << "the module stays the choice";
    EXPECT_EQ(searches, 0) << "no search takes another board up";
    closeOverlay();

    // The module's host unreachable part way: what went before arrived, the
    // rest is not typed and the failure is told once.
    const int refusedAt = static_cast<int>(expected.size()) / 2;
    const size_t datagramsBefore = sentTo().size();
    refuseDatagrams(EHOSTUNREACH, static_cast<int>(datagramsBefore) + refusedAt);
    play();
    ASSERT_TRUE(stepUntil([&] { return !field->hasWorkersRunning() && messages.size() > 1; }));
    step(5);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages.back(), wifiMessage());
    EXPECT_EQ(module.received(), expected.substr(0, static_cast<size_t>(refusedAt - 1)));
    EXPECT_EQ(sentTo().size(), datagramsBefore + static_cast<size_t>(refusedAt));
    const std::string shown = field->getTypedTextLabel()->getString();
    EXPECT_EQ(shown.find("50 "), std::string::npos) << "the last row shown though it never went out";
    EXPECT_EQ(searches, 0);
    closeOverlay();

    // The route back: the whole program goes out and nothing is said.
    refuseDatagrams(0, 1);
    const size_t datagramsThen = sentTo().size();
    play();
    ASSERT_TRUE(stepUntil([&] { return !field->hasWorkersRunning(); }));
    EXPECT_EQ(module.received(), expected);
    EXPECT_EQ(sentTo().size(), datagramsThen + expected.size());
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_NE(field->getTypedTextLabel()->getString().find(firstLine), std::string::npos);

    // Every datagram of the three sends was addressed to the module on this
    // machine.
    for (const Destination& d : sentTo()) {
        EXPECT_EQ(d.address, "127.0.0.1");
        EXPECT_EQ(d.port, module.port);
    }
}
