// The C++ view and the C view of the slot table are one table: an object
// that implements the C++ interfaces, called through the C view's entries by
// name, must run the member of the same name with the arguments given and
// the object it was called on. The header's static checks hold the C view at
// the slot numbers; this holds the C++ view there too, and on 32-bit Windows
// shows both views use the same calling convention.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "rodarove/tree_container.h"

namespace {

#if RODAROVE_SLOT_TABLES

// One recorded call: the slot that ran, on which object, with which
// arguments (pointers as integers).
struct Call {
  int slot;
  const void* self;
  std::vector<intptr_t> args;
  bool operator==(const Call& o) const {
    return slot == o.slot && self == o.self && args == o.args;
  }
};

void PrintTo(const Call& c, std::ostream* os) {
  *os << "slot " << c.slot << " on " << c.self << " (";
  for (intptr_t a : c.args) *os << a << " ";
  *os << ")";
}

intptr_t I(const void* p) { return reinterpret_cast<intptr_t>(p); }

// Every slot records its call and answers 1000 + its slot number.
class Recorder final : public ITreeComponent {
 public:
  std::vector<Call> calls;

  int32_t GetComponentID() override { return Note(0, {}); }
  int32_t GetVersion() override { return Note(1, {}); }
  void Release(int32_t force) override { Note(2, {force}); }
  int32_t GetAutoFree() override { return Note(3, {}); }
  void SetAutoFree(int32_t value) override { Note(4, {value}); }
  int32_t SetRoot(int32_t id) override { return Note(5, {id}); }
  int32_t IsLeaf(int32_t id) override { return Note(6, {id}); }
  int32_t Exists(int32_t id) override { return Note(7, {id}); }
  int32_t IsChild(int32_t id, int32_t p) override { return Note(8, {id, p}); }
  int32_t AppendChild(int32_t n, int32_t p) override { return Note(9, {n, p}); }
  int32_t PrependChild(int32_t n, int32_t p) override { return Note(10, {n, p}); }
  int32_t InsertAfter(int32_t n, int32_t p, int32_t r) override { return Note(11, {n, p, r}); }
  int32_t InsertBefore(int32_t n, int32_t p, int32_t r) override { return Note(12, {n, p, r}); }
  int32_t Clear() override { return Note(13, {}); }
  int32_t RemoveNode(int32_t id) override { return Note(14, {id}); }
  int32_t GetRoot(int32_t* out) override { return Note(15, {I(out)}); }
  int32_t GetParent(int32_t id, int32_t* out) override { return Note(16, {id, I(out)}); }
  int32_t GetLastChild(int32_t id, int32_t* out) override { return Note(17, {id, I(out)}); }
  int32_t GetFirstChild(int32_t id, int32_t* out) override { return Note(18, {id, I(out)}); }
  int32_t GetPrevSibling(int32_t id, int32_t* out) override { return Note(19, {id, I(out)}); }
  int32_t GetNextSibling(int32_t id, int32_t* out) override { return Note(20, {id, I(out)}); }
  int32_t GetPathFromRoot(int32_t id, int32_t* b, int32_t c) override {
    return Note(21, {id, I(b), c});
  }
  int32_t GetPathToRoot(int32_t id, int32_t* b, int32_t c) override {
    return Note(22, {id, I(b), c});
  }
  int32_t GetSiblings(int32_t id, int32_t* b, int32_t c) override { return Note(23, {id, I(b), c}); }
  int32_t GetLeaves(int32_t id, int32_t* b, int32_t c) override { return Note(24, {id, I(b), c}); }
  int32_t GetAllNodes(int32_t* r, NodePair* p, int32_t c) override {
    return Note(25, {I(r), I(p), c});
  }
  int32_t MoveToFirstChild(int32_t id, int32_t p) override { return Note(26, {id, p}); }
  int32_t MoveToLastChild(int32_t id, int32_t p) override { return Note(27, {id, p}); }
  int32_t MoveBefore(int32_t id, int32_t r) override { return Note(28, {id, r}); }
  int32_t MoveAfter(int32_t id, int32_t r) override { return Note(29, {id, r}); }
  void OnFinalRelease() override { Note(30, {}); }
  void GetDllRegistry(const char* path, char* b, int32_t c) override {
    Note(31, {I(path), I(b), c});
  }
  int32_t GetSiblingsWithSelf(int32_t id, int32_t* b, int32_t c) override {
    return Note(32, {id, I(b), c});
  }
  int32_t GetDescendants(int32_t id, NodePair* p, int32_t c) override {
    return Note(33, {id, I(p), c});
  }
  int32_t GetNodesAtDepth(int32_t d, int32_t id, int32_t* b, int32_t c) override {
    return Note(34, {d, id, I(b), c});
  }

 private:
  int32_t Note(int slot, std::vector<intptr_t> args) {
    calls.push_back(Call{slot, this, std::move(args)});
    return 1000 + slot;
  }
};

TEST(TreeContainerViews, EveryCViewEntryRunsTheCxxMemberOfItsSlot) {
  Recorder recorder;
  ITreeComponent* cxx = &recorder;
  // The C view of the same object: its first word points to the table.
  auto* c = reinterpret_cast<ITreeComponent*>(cxx);
  const ITreeComponentVtbl* t = *reinterpret_cast<const ITreeComponentVtbl* const*>(cxx);
  int32_t out = 0;
  int32_t buffer[4];
  NodePair pairs[2];
  char text[8];
  const char* path = "p";

  std::vector<int32_t> answers = {
      t->GetComponentID(c),
      t->GetVersion(c),
      t->GetAutoFree(c),
      t->SetRoot(c, 51),
      t->IsLeaf(c, 61),
      t->Exists(c, -71),
      t->IsChild(c, 81, 82),
      t->AppendChild(c, 91, 92),
      t->PrependChild(c, 101, 102),
      t->InsertAfter(c, 111, 112, 113),
      t->InsertBefore(c, 121, 122, 123),
      t->Clear(c),
      t->RemoveNode(c, 141),
      t->GetRoot(c, &out),
      t->GetParent(c, 161, &out),
      t->GetLastChild(c, 171, &out),
      t->GetFirstChild(c, 181, &out),
      t->GetPrevSibling(c, 191, &out),
      t->GetNextSibling(c, 201, &out),
      t->GetPathFromRoot(c, 211, buffer, 212),
      t->GetPathToRoot(c, 221, buffer, 222),
      t->GetSiblings(c, 231, buffer, 232),
      t->GetLeaves(c, 241, buffer, 242),
      t->GetAllNodes(c, &out, pairs, 252),
      t->MoveToFirstChild(c, 261, 262),
      t->MoveToLastChild(c, 271, 272),
      t->MoveBefore(c, 281, 282),
      t->MoveAfter(c, 291, 292),
      t->GetSiblingsWithSelf(c, 321, buffer, 322),
      t->GetDescendants(c, 331, pairs, 332),
      t->GetNodesAtDepth(c, 341, 342, buffer, 343),
  };
  t->Release(c, 21);
  t->SetAutoFree(c, 41);
  t->OnFinalRelease(c);
  t->GetDllRegistry(c, path, text, 313);

  std::vector<int32_t> expectedAnswers;
  for (int slot = 0; slot <= 34; ++slot) {
    if (slot != 2 && slot != 4 && slot != 30 && slot != 31) expectedAnswers.push_back(1000 + slot);
  }
  EXPECT_EQ(answers, expectedAnswers);

  const void* self = &recorder;
  std::vector<Call> expected = {
      {0, self, {}},
      {1, self, {}},
      {3, self, {}},
      {5, self, {51}},
      {6, self, {61}},
      {7, self, {-71}},
      {8, self, {81, 82}},
      {9, self, {91, 92}},
      {10, self, {101, 102}},
      {11, self, {111, 112, 113}},
      {12, self, {121, 122, 123}},
      {13, self, {}},
      {14, self, {141}},
      {15, self, {I(&out)}},
      {16, self, {161, I(&out)}},
      {17, self, {171, I(&out)}},
      {18, self, {181, I(&out)}},
      {19, self, {191, I(&out)}},
      {20, self, {201, I(&out)}},
      {21, self, {211, I(buffer), 212}},
      {22, self, {221, I(buffer), 222}},
      {23, self, {231, I(buffer), 232}},
      {24, self, {241, I(buffer), 242}},
      {25, self, {I(&out), I(pairs), 252}},
      {26, self, {261, 262}},
      {27, self, {271, 272}},
      {28, self, {281, 282}},
      {29, self, {291, 292}},
      {32, self, {321, I(buffer), 322}},
      {33, self, {331, I(pairs), 332}},
      {34, self, {341, 342, I(buffer), 343}},
      {2, self, {21}},
      {4, self, {41}},
      {30, self, {}},
      {31, self, {I(path), I(text), 313}},
  };
  // The braced list evaluates in order, so the calls arrive in that order.
  ASSERT_EQ(recorder.calls.size(), expected.size());
  for (size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(recorder.calls[k], expected[k]) << k;
}

#endif  // RODAROVE_SLOT_TABLES

}  // namespace
