#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/zmod_input.h"

namespace {

enum : uint32_t { KEY_UP = 1, KEY_START = 9, KEY_SELECT = 10, KEY_A = 13, KEY_B = 14, KEY_Y = 16 };

std::vector<std::pair<int, int>> Drain(ClassZInput& input) {
  std::vector<std::pair<int, int>> out;
  Z_INPUTEVENT e;
  while (input.GetKeyEvent(&e)) out.push_back({e.code, e.type});
  return out;
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override { input.SetDefaultMappings(); }
  ClassZInput input;
};

TEST_F(InputTest, DefaultMappings) {
  EXPECT_EQ(input.GetMappingCount(), 33u);
  struct Case {
    uint32_t key;
    std::vector<std::pair<int, int>> downs;  // (action, type) in mapping order
  } cases[] = {
      {KEY_A, {{197, 1}, {213, 1}}},
      {KEY_B, {{196, 1}, {200, 1}, {212, 1}}},
      {KEY_UP, {{160, 1}, {192, 1}, {208, 1}}},
      {KEY_START, {{214, 1}}},
      {KEY_SELECT, {{213, 1}}},
      {28, {{196, 1}, {200, 1}}},
      {23, {{165, 1}}},
      {2, {}},
  };
  for (const Case& c : cases) {
    ClassZInput fresh;
    fresh.SetDefaultMappings();
    fresh.OnKeyDown(c.key);
    EXPECT_EQ(Drain(fresh), c.downs) << "key " << c.key;
    for (const auto& d : c.downs) EXPECT_EQ(fresh.KeyHold(static_cast<uint8_t>(d.first)), 1);
    EXPECT_EQ(fresh.GetLastKey(), c.key);
  }
}

TEST_F(InputTest, AnActionStaysHeldWhileAnyOfItsKeysIsDown) {
  input.OnKeyDown(KEY_B);
  input.OnKeyDown(KEY_Y);
  input.OnKeyUp(KEY_B);
  EXPECT_EQ(input.KeyHold(196), 1);
  EXPECT_EQ(input.KeyHold(200), 0);  // B was its only key down
  input.OnKeyUp(KEY_Y);
  EXPECT_EQ(input.KeyHold(196), 0);
  int events196 = 0;
  for (const auto& e : Drain(input)) events196 += e.first == 196;
  EXPECT_EQ(events196, 4);
}

TEST_F(InputTest, EventsOfAnActionAreConsumedInOrder) {
  input.OnKeyDown(KEY_A);
  input.OnKeyUp(KEY_A);
  EXPECT_EQ(input.GetKeyEvent(197), ZINPUT_DOWN);
  EXPECT_EQ(input.GetKeyEvent(197), ZINPUT_UP);
  EXPECT_EQ(input.GetKeyEvent(197), 0);
  EXPECT_EQ(input.GetKeyEvent(224), 0);
  EXPECT_EQ(Drain(input), (std::vector<std::pair<int, int>>{{213, 1}, {213, 4}}));
}

TEST_F(InputTest, KeyRepeatsAfter300ThenEvery100Ms) {
  input.OnKeyDown(KEY_START);
  input.ResetEvents();
  std::vector<uint32_t> repeats;
  for (uint32_t t = 10; t <= 1000; t += 10) {
    input.CheckRepeat(10);
    int n = 0;
    while (input.GetKeyEvent(214) == ZINPUT_REPEAT) n++;
    EXPECT_LE(n, 1);
    if (n) repeats.push_back(t);
    input.ResetEvents();
  }
  EXPECT_EQ(repeats, (std::vector<uint32_t>{300, 400, 500, 600, 700, 800, 900, 1000}));

  // One long frame gives one repeat, and the held time saturates instead of wrapping.
  ClassZInput slow;
  slow.AddKeyMapping(5, KEY_A);
  slow.OnKeyDown(KEY_A);
  slow.ResetEvents();
  slow.CheckRepeat(5000);
  EXPECT_EQ(slow.GetKeyEvent(5), ZINPUT_REPEAT);
  EXPECT_EQ(slow.GetKeyEvent(5), 0);
  slow.CheckRepeat(0xFFFFFFF0u);
  EXPECT_EQ(slow.GetKeyEvent(5), ZINPUT_REPEAT);
  slow.OnKeyUp(KEY_A);
  slow.ResetEvents();
  slow.CheckRepeat(1000);
  EXPECT_EQ(slow.GetKeyEvent(5), 0);
}

TEST_F(InputTest, QueueHoldsThirtyTwoEvents) {
  ClassZInput q;
  for (uint8_t a = 0; a < 40; a++) ASSERT_EQ(q.AddKeyMapping(a, KEY_A), 1);
  q.OnKeyDown(KEY_A);
  EXPECT_EQ(q.KeyHold(39), 1);  // the state changes even when the event is dropped
  EXPECT_EQ(q.GetKeyEvent(31), ZINPUT_DOWN);
  EXPECT_EQ(q.GetKeyEvent(32), 0);
  q.ResetEvents();
  EXPECT_EQ(q.GetKeyEvent(uint8_t{0}), 0);
  EXPECT_EQ(q.GetLastKey(), 0u);
}

TEST_F(InputTest, MappingLimits) {
  ClassZInput m;
  EXPECT_EQ(m.AddKeyMapping(224, KEY_A), 0);
  EXPECT_EQ(m.AddKeyMapping(1, {}), 0);
  EXPECT_EQ(m.AddKeyMapping(1, {KEY_A, KEY_B}), 1);
  for (uint32_t i = 2; i < ZINPUT_MAPPINGS; i++) ASSERT_EQ(m.AddKeyMapping(2, 100 + i), 1);
  EXPECT_EQ(m.AddKeyMapping(3, 50), 0);
  EXPECT_EQ(m.GetMappingCount(), ZINPUT_MAPPINGS);
}

TEST_F(InputTest, RemovingMappingsEndsHoldsTheyKept) {
  EXPECT_EQ(input.RemoveActionMapping(196), 1);
  EXPECT_EQ(input.RemoveActionMapping(196), 0);
  EXPECT_EQ(input.GetMappingCount(), 30u);

  ClassZInput r;
  r.SetDefaultMappings();
  r.OnKeyDown(KEY_B);
  ASSERT_EQ(r.KeyHold(212), 1);
  EXPECT_EQ(r.RemoveKeyMapping(KEY_B), 1);
  EXPECT_EQ(r.KeyHold(212), 0);  // no mapping of it is down any more
  EXPECT_EQ(r.RemoveKeyMapping(KEY_B), 0);

  ClassZInput s;
  s.SetDefaultMappings();
  s.OnKeyDown(KEY_B);
  s.OnKeyDown(KEY_Y);
  EXPECT_EQ(s.RemoveKeyMapping(KEY_B), 1);
  EXPECT_EQ(s.KeyHold(196), 1);  // Y still drives it
  s.ResetState();
  EXPECT_EQ(s.KeyHold(196), 0);
}

TEST_F(InputTest, KeyNames) {
  struct Case {
    int32_t key;
    const char* name;
  } cases[] = {{23, "Volume down"}, {0, "None"}, {17, "#17"},   {300, "#300"}, {-5, "#-5"},
               {1, "Up"},           {13, "A"},   {28, "Enter"}, {2, "#2"},     {-2147483647 - 1, "#-2147483648"}};
  for (const Case& c : cases) {
    char out[32];
    input.GetKeyName(c.key, out, sizeof(out));
    EXPECT_STREQ(out, c.name) << c.key;
    uint16_t wide[32];
    input.GetKeyName(c.key, wide, 32);
    EXPECT_EQ(wide[0], static_cast<uint8_t>(c.name[0]));
  }
  char small[4];
  input.GetKeyName(23, small, sizeof(small));
  EXPECT_STREQ(small, "Vol");
}

TEST_F(InputTest, KeyDescriptorSlots) {
  // Slots from 96 on: empty lines take none; 1 -> 96, 5 -> 97, 3 -> 98, 9 -> 136.
  input.LoadKeyDescriptor("North\r\n\r\nSouth\nWest");
  char out[300];
  input.GetKeyName(1, out, sizeof(out));
  EXPECT_STREQ(out, "North");
  input.GetKeyName(5, out, sizeof(out));
  EXPECT_STREQ(out, "South");
  input.GetKeyName(3, out, sizeof(out));
  EXPECT_STREQ(out, "West");
  input.GetKeyName(9, out, sizeof(out));
  EXPECT_STREQ(out, " ");  // slot 136 has no line: slot 0's space

  // 70 lines: slots stop at 159 (Start's 136 is line 41), and texts over 256 characters
  // load whole.
  std::string text;
  for (int i = 0; i < 70; i++) text += "Name" + std::to_string(i) + "\r\n";
  text += std::string(280, 'L');
  input.LoadKeyDescriptor(text.c_str());
  input.GetKeyName(9, out, sizeof(out));
  EXPECT_STREQ(out, "Name40");
  input.GetKeyName(24, out, sizeof(out));  // slot 141
  EXPECT_STREQ(out, "Name45");

  input.LoadKeyDescriptor(static_cast<const char*>(nullptr));
  input.GetKeyName(13, out, sizeof(out));
  EXPECT_STREQ(out, "A");  // character slots stay
}

TEST_F(InputTest, ClicksCharactersAndWheel) {
  ClassZInput c;
  c.OnClickDown(10, 20, 1);
  c.OnClickUp(11, 21, 1);
  c.OnClickDown(0, 0, 7);  // no such button
  Z_INPUTEVENT e;
  ASSERT_EQ(c.GetClickEvent(&e), 1);
  EXPECT_EQ(e.code, 1);
  EXPECT_EQ(e.type, ZINPUT_DOWN);
  EXPECT_EQ(e.x, 10);
  ASSERT_EQ(c.GetClickEvent(&e), 1);
  EXPECT_EQ(e.type, ZINPUT_UP);
  EXPECT_EQ(c.GetClickEvent(&e), 0);
  EXPECT_EQ(c.GetKeyEvent(&e), 0);

  for (uint16_t ch = 'a'; ch < 'a' + 40; ch++) c.PutChar(ch, ch * 2u);
  uint32_t value = 0;
  EXPECT_EQ(c.GetChar(&value), 'a');
  EXPECT_EQ(value, 'a' * 2u);
  int more = 0;
  while (c.GetChar(nullptr)) more++;
  EXPECT_EQ(more, 31);

  c.OnWheelScroll(5);
  c.OnWheelScroll(3);
  c.OnWheelScroll(0);
  EXPECT_EQ(c.GetWheelScroll(), 2);
  EXPECT_EQ(c.GetWheelScroll(), 0);
}

}  // namespace
