// Two independent evaluators of the contact-logic subset: one runs instruction-list lines, the
// other follows power from the rail through the drawn diagram. Edge contacts count as levels.
#pragma once

#include <functional>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "core/instruction_catalogue.h"
#include "ladder/ladder_grid.h"

namespace ferrolad::test {

using InputFn = std::function<bool(const std::string& operand)>;

inline bool EvaluateIL(const std::vector<std::string>& lines, const InputFn& input,
                       std::map<std::string, bool>& coils, std::string& error) {
  bool acc = false;
  bool loaded = false;
  // LD always puts the current result aside for a later ANB / ORB, also after an output: a branch
  // may go on from the result an output left unchanged. What a finished rung leaves is never read.
  std::vector<bool> blocks;
  std::vector<bool> branch;  // MPS / MRD / MPP
  for (const auto& line : lines) {
    const size_t tab = line.find('\t');
    const std::string op = line.substr(0, tab);
    const std::string arg = tab == std::string::npos ? "" : line.substr(tab + 1);
    auto pop = [&](std::vector<bool>& s, bool& v) {
      if (s.empty()) {
        error = "stack empty at " + line;
        return false;
      }
      v = s.back();
      s.pop_back();
      return true;
    };
    if (op == "LD" || op == "LDP" || op == "LDF" || op == "LDI") {
      if (loaded) blocks.push_back(acc);
      acc = op == "LDI" ? !input(arg) : input(arg);
      loaded = true;
    } else if (op == "AND" || op == "ANDP" || op == "ANDF") {
      acc = acc && input(arg);
    } else if (op == "ANI") {
      acc = acc && !input(arg);
    } else if (op == "OR" || op == "ORP" || op == "ORF") {
      acc = acc || input(arg);
    } else if (op == "ORI") {
      acc = acc || !input(arg);
    } else if (op == "ANB" || op == "ORB") {
      bool v = false;
      if (!pop(blocks, v)) return false;
      acc = op == "ANB" ? (v && acc) : (v || acc);
    } else if (op == "INV") {
      acc = !acc;
    } else if (op == "MPS") {
      branch.push_back(acc);
    } else if (op == "MRD") {
      if (branch.empty()) {
        error = "MRD on an empty stack";
        return false;
      }
      acc = branch.back();
    } else if (op == "MPP") {
      if (!pop(branch, acc)) return false;
    } else if (op == "OUT") {
      coils[arg] = acc;
    } else if (op == "END") {
      break;
    } else {
      error = "not in the evaluated subset: " + line;
      return false;
    }
  }
  if (!branch.empty()) {
    error = "branch stack not emptied";
    return false;
  }
  return true;
}

// Power flow: every cell's left edge is a node; the rail feeds the left edge of column 3 in every
// row, vertical links join a node with the one below, a horizontal line or a closed contact joins
// a cell's left and right edges. A coil is on when its left edge is powered.
inline std::map<std::string, bool> EvaluateLadder(const TLadderGrid& g, const InputFn& input) {
  const int width = g.ColCount + 1;
  std::vector<int> parent(static_cast<size_t>(g.RowCount * width + 1));
  std::iota(parent.begin(), parent.end(), 0);
  const int rail = g.RowCount * width;
  std::function<int(int)> find = [&](int x) {
    while (parent[static_cast<size_t>(x)] != x) x = parent[static_cast<size_t>(x)] = parent[static_cast<size_t>(parent[static_cast<size_t>(x)])];
    return x;
  };
  auto join = [&](int a, int b) { parent[static_cast<size_t>(find(a))] = find(b); };
  auto node = [&](int r, int c) { return r * width + c; };
  for (int r = 0; r < g.RowCount; ++r) {
    join(node(r, FirstColumn), rail);
    for (int c = FirstColumn; c < g.ColCount; ++c) {
      if (c > FirstColumn && g.Contains(r, c, ekVLine1) && r + 1 < g.RowCount) join(node(r, c), node(r + 1, c));
      bool conducts = false;
      if (g.Contains(r, c, ekHLine)) {
        conducts = true;
      } else if (g.Contains(r, c, ekLDI)) {
        conducts = !input(g.Cell(r, c).Value);
      } else if (g.Contains(r, c, ekLD)) {
        conducts = input(g.Cell(r, c).Value);
      }
      if (conducts) join(node(r, c), node(r, c + 1));
    }
  }
  std::map<std::string, bool> coils;
  for (int r = 0; r < g.RowCount; ++r) {
    const int c = g.ColCount - 1;
    if (g.Contains(r, c, ekOUT)) coils[g.Cell(r, c).Value] = find(node(r, c)) == find(rail);
  }
  return coils;
}

}  // namespace ferrolad::test
