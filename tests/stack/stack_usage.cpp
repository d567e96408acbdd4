// Stack figures of libtlxdev's TLX_ functions, from the call graphs GCC
// writes beside every object file (-fcallgraph-info=su): for each TLX_
// function its own frame and the deepest chain of frames through the
// library's own functions below it. Prints one line per function and fails
// when a chain reaches the limit, or a frame on one is of dynamic size.
//
// Not counted: functions outside the library (libc, libusb, cJSON), whose
// frames are not in the graphs, and calls through function pointers (the
// end conditions and the cancel source, small leaf functions).
//
//   stack_usage OBJECT_DIR [LIMIT_BYTES]
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Node {
  std::string label;  // demangled name as the graph shows it
  long bytes = 0;
  bool dynamic = false;
  bool defined = false;  // has a frame: a function of the library
  std::vector<std::string> callees;
};

std::map<std::string, Node> g_nodes;

// "int ns::Name(int, char)" -> "ns::Name": the name without return type
// and parameters, for a readable chain.
std::string ShortName(const std::string& label) {
  std::string name = label.substr(0, label.find('('));
  int depth = 0;
  for (size_t i = name.size(); i-- > 0;) {
    if (name[i] == '>') ++depth;
    if (name[i] == '<') --depth;
    if (name[i] == ' ' && depth == 0) return name.substr(i + 1);
  }
  return name;
}

// Value of key: "..." in a graph line.
bool Field(const std::string& line, const std::string& key, std::string* out) {
  const std::string open = key + ": \"";
  size_t at = line.find(open);
  if (at == std::string::npos) return false;
  at += open.size();
  size_t end = line.find('"', at);
  if (end == std::string::npos) return false;
  *out = line.substr(at, end - at);
  return true;
}

void ReadGraph(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::string title, label, source, target;
    if (line.rfind("node:", 0) == 0 && Field(line, "title", &title) &&
        Field(line, "label", &label)) {
      Node& n = g_nodes[title];
      // label: name \n file:line:col \n N bytes (static|dynamic|dynamic,bounded)
      const size_t nl = label.find("\\n");
      n.label = ShortName(label.substr(0, nl));
      // Clones (".part.0", ".isra.0") may come without a name: the symbol.
      if (n.label.empty() || (n.label[0] >= '0' && n.label[0] <= '9'))
        n.label = title.substr(title.rfind(':') + 1);
      const size_t bytesAt = label.find(" bytes (");
      if (bytesAt != std::string::npos) {
        size_t numStart = label.rfind("\\n", bytesAt);
        numStart = numStart == std::string::npos ? 0 : numStart + 2;
        n.bytes = std::atol(label.substr(numStart, bytesAt - numStart).c_str());
        // "dynamic,bounded" frames have a known upper bound, the figure.
        const std::string kind = label.substr(bytesAt);
        n.dynamic =
            kind.find("dynamic") != std::string::npos && kind.find("bounded") == std::string::npos;
        n.defined = true;
      }
    } else if (line.rfind("edge:", 0) == 0 && Field(line, "sourcename", &source) &&
               Field(line, "targetname", &target)) {
      g_nodes[source].callees.push_back(target);
    }
  }
}

// Deepest chain below title (its own frame included); a cycle counts once.
struct Chain {
  long bytes = 0;
  bool dynamic = false;
  std::vector<std::string> path;
};

std::map<std::string, Chain> g_memo;

Chain Deepest(const std::string& title, std::set<std::string>& onPath) {
  auto memo = g_memo.find(title);
  if (memo != g_memo.end()) return memo->second;
  Chain best;
  const Node& n = g_nodes[title];
  if (!n.defined) return best;
  onPath.insert(title);
  Chain below;
  for (const std::string& callee : n.callees) {
    if (onPath.count(callee) != 0) continue;
    Chain c = Deepest(callee, onPath);
    if (c.bytes > below.bytes) below = c;
    below.dynamic = below.dynamic || c.dynamic;
  }
  onPath.erase(title);
  best.bytes = n.bytes + below.bytes;
  best.dynamic = n.dynamic || below.dynamic;
  best.path.push_back(n.label);
  best.path.insert(best.path.end(), below.path.begin(), below.path.end());
  g_memo[title] = best;
  return best;
}

void CollectGraphs(const std::string& dir, std::vector<std::string>* out) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = dir + "/" + name;
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".ci") == 0)
      out->push_back(path);
    else if (e->d_type == DT_DIR || e->d_type == DT_UNKNOWN)
      CollectGraphs(path, out);
  }
  closedir(d);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OBJECT_DIR [LIMIT_BYTES]\n", argv[0]);
    return 2;
  }
  const long limit = argc > 2 ? std::atol(argv[2]) : 16384;
  std::vector<std::string> graphs;
  CollectGraphs(argv[1], &graphs);
  if (graphs.empty()) {
    std::fprintf(stderr, "no call graphs (.ci) below %s\n", argv[1]);
    return 1;
  }
  for (const std::string& g : graphs) ReadGraph(g);

  std::vector<std::string> functions;
  for (const auto& n : g_nodes)
    if (n.second.defined && n.first.rfind("TLX_", 0) == 0) functions.push_back(n.first);
  std::sort(functions.begin(), functions.end());

  std::printf("%-22s %10s %12s  deepest chain (bytes of stack, limit %ld)\n", "function", "frame",
              "chain", limit);
  int bad = 0;
  long worst = 0;
  for (const std::string& f : functions) {
    std::set<std::string> onPath;
    const Chain c = Deepest(f, onPath);
    std::string path;
    for (size_t i = 1; i < c.path.size(); ++i) path += (i > 1 ? " > " : "") + c.path[i];
    const bool over = c.bytes >= limit || c.dynamic;
    std::printf("%-22s %10ld %12ld%s  %s\n", f.c_str(), g_nodes[f].bytes, c.bytes,
                c.dynamic ? " (dynamic)" : "", path.c_str());
    worst = std::max(worst, c.bytes);
    if (over) ++bad;
  }
  std::printf("%zu functions, deepest chain %ld bytes, %d at or over the limit\n", functions.size(),
              worst, bad);
  if (functions.size() < 25) {
    std::fprintf(stderr, "expected the 25 TLX_ commands and TLX_StrError, found %zu\n",
                 functions.size());
    return 1;
  }
  return bad == 0 ? 0 : 1;
}
