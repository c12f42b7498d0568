// The rows of the command table for the module's exports, the views, the
// scripts and the session: what each command does, its help, and what its
// results mean.
#include "host/command_table.h"

namespace rodarove_host {

void AddHostCommands(std::vector<Command>* table) {
  const std::vector<Command> rows = {
      {"component-ids", "[CAP|null]", 0, 1, -1, "GetComponentIDs", Group::kExports,
       "the classes the module makes",
       "",
       "> component-ids\nGetComponentIDs(ids, 16) = 2: 114 837\n",
       kListsEntries | kExport, ComponentIds,
       {{0, kAnyLow, kAnyHigh, "N", nullptr,
         "the number of registered classes; their IDs follow"}}},
      {"set-registry", "PATH|null", 1, 1, -1, "SetDLLRegistry", Group::kExports,
       "the ini file naming the factory",
       "Stores the path of the ini file from which the module finds the factory module.",
       "> set-registry rodarove-host.ini\nSetDLLRegistry(\"rodarove-host.ini\") = 0 (path "
       "stored)\n",
       kExport, SetRegistry,
       {{0, kAnyLow, kAnyHigh, "0", nullptr,
         "always 0; the path is stored, or emptied for null or a path of {PATH_BYTES} "
         "characters or more"}}},
      {"set-factory", "PATH|none", 1, 1, -1, "SetFactoryHandle", Group::kExports,
       "hand over a factory library",
       "Loads the library at PATH and hands its handle to the module, which then uses it "
       "instead of looking for a factory module; none clears it.",
       "> set-factory none\nSetFactoryHandle(null) = null\n",
       kExport, SetFactory, {}},
      {"can-unload", "", 0, 0, -1, "PavexDllCanUnloadNow", Group::kExports,
       "may the module be unloaded",
       "",
       "> can-unload\nPavexDllCanUnloadNow() = 0 (components are live)\n",
       kExport, CanUnload,
       {{0, 1, 1, "1", nullptr,
         "no component is live: the module may go"},
        {0, 0, 0, "0", "components are live",
         "components are live"}}},
      {"free-map", "", 0, 0, -1, "PavexDllFreeMap", Group::kExports,
       "release every auto-free component",
       "Releases every live component whose auto-free value is not 0.",
       "> set-auto-free m 1\nm.SetAutoFree(1)\n> free-map\nPavexDllFreeMap(); releases: m\n",
       kExport, FreeMap, {}},
      {"set-dll-safe", "VALUE", 1, 1, -1, "PavexSetDllSafe", Group::kExports,
       "0 makes every Release do nothing",
       "",
       "> set-dll-safe 0\nPavexSetDllSafe(0) = 0 (Release does nothing now)\n",
       kExport, SetDllSafe,
       {{0, 0, 0, "0", "Release does nothing now",
         "the value given: Release does nothing until it is set again"},
        {0, kAnyLow, kAnyHigh, "N", nullptr,
         "the value given: Release works"}}},
      {"show", "C [DEPTH]", 1, 2, -1, "", Group::kViews,
       "draw C's tree, DEPTH levels deep",
       "Draws C's tree from its root, through slots 15, 18 and 20. A node whose children are "
       "not drawn ends in '...'; a drawing longer than the list limit (see limit) ends by "
       "saying how many nodes it left out.",
       "> show m 1\ntree of m:\n1\n+-- 2 ...\n`-- 3\n(... marks nodes whose children are not "
       "drawn)\n",
       kListsEntries, Show, {}},
      {"dot", "C FILE", 2, 2, -1, "", Group::kViews,
       "write C's tree as a Graphviz graph",
       "",
       "> dot m m.dot\nwrote the tree of m to m.dot\n",
       0, Dot, {}},
      {"limit", "[N|all]", 0, 1, -1, "", Group::kViews,
       "how many entries a list shows",
       "Sets how many entries a list shows before '... and N more' ({LIST_LIMIT} at first); "
       "all shows every entry. --all added to one command shows all of its entries.",
       "> limit 2\nlists show at most 2 entries\n> path-to-root m 4\nm.GetPathToRoot(4, buffer, "
       "3) = 3: 4 2 ... and 1 more (--all shows them)\n",
       0, Limit, {}},
      {"expect", "VALUE COMMAND...", 2, kAnyNumber, -1, "", Group::kScripts,
       "run COMMAND; fail unless VALUE",
       "Runs COMMAND and compares its result with VALUE: a number, or null or not-null for "
       "create. When they differ, a script stops with status 1 and names the file and line "
       "('t.txt:7: error: expected 1, got 0 (not a node) from 'exists m 9''); at the prompt "
       "the error is shown and the session goes on.",
       "> expect 0 exists m 9\nm.Exists(9) = 0 (not a node)\n",
       kListsEntries, Expect, {}},
      {"expect-list", "ENTRIES COMMAND...", 2, kAnyNumber, -1, "", Group::kScripts,
       "run COMMAND; fail unless it wrote ENTRIES",
       "Runs COMMAND and compares all the entries it wrote, also those a long line leaves "
       "out, with ENTRIES: one quoted word holding them as the line shows them, such as "
       "\"4 2 1\", \"root 1 (2,1) (3,1)\", or the one ID a lookup wrote.",
       "> expect-list \"4 2 1\" path-to-root m 4\nm.GetPathToRoot(4, buffer, 3) = 3: 4 2 1\n",
       kListsEntries, ExpectList, {}},
      {"source", "FILE", 1, 1, -1, "", Group::kScripts,
       "run the commands of FILE here",
       "Runs the lines of FILE as if typed here; the first error stops FILE and names its "
       "line. Meanwhile ${SCRIPT_DIR} is FILE's directory.",
       "> save a a.txt\nsaved the tree of a to a.txt: 4 nodes, root 1\n> release a\n"
       "a.Release(0)\n> source a.txt\n#3 a = CreateComponent(837, 0)\na.SetRoot(1) = 1\n"
       "a.AppendChild(k, 1) for k = 2 3: 2 done, 0 refused\n"
       "a.AppendChild(k, 2) for k = 4: 1 done, 0 refused\n"
       "a.GetAllNodes(root, null, 0) = 4: root 1\n",
       0, Source, {}},
      {"save", "C FILE", 2, 2, -1, "", Group::kScripts,
       "write a script that rebuilds C's tree",
       "Writes a script of this language that rebuilds C's tree exactly as all-nodes reaches "
       "it: the same IDs, every node's children in the same order, then checks the count. "
       "'load FILE as NAME' runs it into a new component NAME, 'source FILE' into one named "
       "as C. Nodes the root does not reach (837 keeps the children of a removed node) are "
       "not saved.",
       "> save m m.txt\nsaved the tree of m to m.txt: 4 nodes, root 1\n",
       0, Save, {}},
      {"load", "FILE as NAME", 3, 3, -1, "", Group::kScripts,
       "rebuild a saved tree as NAME",
       "Runs a script that save wrote, quietly, making its component under the name NAME, "
       "and says what it built. The file's own checks must hold.",
       "> save m m.txt\nsaved the tree of m to m.txt: 4 nodes, root 1\n> load m.txt as n\n"
       "#3 n: loaded m.txt, component 114, 4 nodes, root 1\n",
       0, Load, {}},
      {"generate", "C COUNT [FANOUT]", 2, 3, -1, "Generate", Group::kScripts,
       "build a large tree in an empty C",
       "On an empty tree: SetRoot(1), then AppendChild(k, (k-2)/FANOUT+1) for k = 2 to "
       "COUNT; FANOUT 2 (the default) makes a complete binary tree. COUNT is at most "
       "{MAX_GENERATE}; 837 takes 24 bytes a node. Ctrl-C stops it between calls and keeps "
       "what was built.",
       "> create array as b\n#3 b = CreateComponent(837, 0)\n> generate b 7\n"
       "b.SetRoot(1) = 1; AppendChild(k, (k-2)/2+1) for k = 2..7: 6 done, 0 refused\n",
       0, Generate,
       {{0, kAnyLow, kAnyHigh, "N", nullptr,
         "the number of nodes appended below the root"}}},
      {"append-children", "C PARENT ID...", 3, kAnyNumber, -1, "AppendChildren", Group::kScripts,
       "append each ID under PARENT, in order",
       "Calls AppendChild(ID, PARENT) for each ID in turn; save writes these lines.",
       "> append-children m 3 5 6\nm.AppendChild(k, 3) for k = 5 6: 2 done, 0 refused\n",
       kListsEntries, AppendChildren,
       {{0, kAnyLow, kAnyHigh, "N", nullptr,
         "the number of IDs appended; the line says how many were refused"}}},
      {"time", "[N] COMMAND...", 1, kAnyNumber, -1, "", Group::kScripts,
       "run COMMAND N times; show the time",
       "Runs COMMAND N times (once when N is left out) and prints the time in all and per "
       "run; only the first run's output is shown. Ctrl-C stops it between runs. time "
       "cannot run quit.",
       "> time 1000 exists m 4\nm.Exists(4) = 1\ntime: 1000 runs in 0.052 ms: 0.052 us a run\n",
       kListsEntries, Time, {}},
      {"echo", "TEXT...", 0, kAnyNumber, -1, "", Group::kScripts,
       "print the rest of the line",
       "",
       "> echo hello\nhello\n",
       0, Echo, {}},
      {"help", "[all|COMMAND]", 0, 1, -1, "", Group::kSession,
       "commands by group, all, or one in full",
       "Without a word, names the commands by group on one screen. 'help all' gives every "
       "command with what it does, and how words, IDs and lists are read; 'help COMMAND' "
       "gives one command in full: its slot or export, its arguments, what each result "
       "means, and an example.",
       "",
       0, Help, {}},
      {"quit", "", 0, 0, -1, "", Group::kSession,
       "end the session (also: exit, Ctrl-D)",
       "",
       "",
       0, Quit, {}},
      {"exit", "", 0, 0, -1, "", Group::kSession,
       "",
       "",
       "",
       0, Quit, {}},
  };
  table->insert(table->end(), rows.begin(), rows.end());
}

}  // namespace rodarove_host
