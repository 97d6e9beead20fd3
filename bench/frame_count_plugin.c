/* bench/frame_count_plugin.c: a qemu-arm (user mode) TCG plugin that counts the ARM
 * instructions of a game's frames, for bench/frame_cost.sh --arm, which builds and loads it:
 *
 *   qemu-arm -plugin ./frame_count_plugin.so,syms=SYMS,out=OUT PROGRAM
 *
 * SYMS lists the program's functions, one a line: "START SIZE ROLE NAME" (START and SIZE in
 * hex, ROLE 'F' for the frame function, 'L' for a function left out whole with everything it
 * calls, '-' for the rest). The frames are the calls of the F function on the program's
 * first thread; an instruction counts when it runs under a frame and under no L function.
 * OUT receives, when the program ends:
 *   frame COUNT             one line per frame, in order, its instructions
 *   func COUNT NAME         per function (its own instructions), summed over all frames
 *   worst COUNT NAME        per function, in the frame that cost the most
 *   left COUNT              the instructions under L functions inside frames
 *   thread INDEX COUNT TOP  each other thread's instructions, and its busiest function
 *
 * Calls are followed with a shadow stack of return addresses: a block that ends in a call
 * (BL, BLX, or "mov lr, pc" before a jump) pushes the address after it; a block that starts
 * at an address on the stack (its top few entries, so that a tail call's return and an
 * untaken conditional call are both seen) pops down to it. A frame or a left-out region ends
 * when the stack falls below the depth at which it began.
 *
 * The plugin API is declared here from its documentation (Debian's qemu-user exports it but
 * ships no header); it is version 1 of the API, the one qemu 7.2 offers. */
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- the part of the plugin API used here ---- */
typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
struct qemu_plugin_insn;
typedef struct {
  const char* target_name;
  struct {
    int min;
    int cur;
  } version;
  bool system_emulation;
  union {
    struct {
      int smp_vcpus;
      int max_vcpus;
    } system;
  };
} qemu_info_t;
enum qemu_plugin_cb_flags { QEMU_PLUGIN_CB_NO_REGS, QEMU_PLUGIN_CB_R_REGS, QEMU_PLUGIN_CB_RW_REGS };
typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb* tb);
typedef void (*qemu_plugin_vcpu_udata_cb_t)(unsigned int vcpu_index, void* userdata);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);
void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
void qemu_plugin_register_vcpu_tb_exec_cb(struct qemu_plugin_tb* tb, qemu_plugin_vcpu_udata_cb_t cb,
                                          enum qemu_plugin_cb_flags flags, void* userdata);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
uint64_t qemu_plugin_tb_vaddr(const struct qemu_plugin_tb* tb);
struct qemu_plugin_insn* qemu_plugin_tb_get_insn(const struct qemu_plugin_tb* tb, size_t idx);
const void* qemu_plugin_insn_data(const struct qemu_plugin_insn* insn);
size_t qemu_plugin_insn_size(const struct qemu_plugin_insn* insn);
uint64_t qemu_plugin_insn_vaddr(const struct qemu_plugin_insn* insn);
void qemu_plugin_outs(const char* string);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;
__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id,
                                                               const qemu_info_t* info, int argc,
                                                               char** argv);

/* ---- the program's functions ---- */
typedef struct {
  uint32_t start, end;
  char role;
  char* name;
  uint64_t cost;  /* under frames, not left out */
} Func;
static Func* funcs;
static size_t n_funcs;

static int by_start(const void* a, const void* b) {
  const Func *x = a, *y = b;
  return x->start < y->start ? -1 : x->start > y->start;
}

/* The function holding pc, or -1. */
static long find_func(uint32_t pc) {
  size_t lo = 0, hi = n_funcs;
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (funcs[mid].start <= pc) lo = mid + 1;
    else hi = mid;
  }
  if (lo == 0) return -1;
  return pc < funcs[lo - 1].end ? (long)(lo - 1) : -1;
}

static bool load_syms(const char* path) {
  FILE* f = fopen(path, "r");
  if (!f) return false;
  size_t cap = 4096;
  funcs = malloc(cap * sizeof *funcs);
  char line[4096];
  while (funcs && fgets(line, sizeof line, f)) {
    unsigned long start, size;
    char role;
    int used = 0;
    if (sscanf(line, "%lx %lx %c %n", &start, &size, &role, &used) < 3 || used == 0) continue;
    line[strcspn(line, "\n")] = 0;
    if (n_funcs == cap) {
      cap *= 2;
      Func* grown = realloc(funcs, cap * sizeof *funcs);
      if (!grown) break;
      funcs = grown;
    }
    funcs[n_funcs].start = (uint32_t)start & ~1u; /* a Thumb symbol's low bit */
    funcs[n_funcs].end = (uint32_t)(start + size) & ~1u;
    funcs[n_funcs].role = role;
    funcs[n_funcs].name = strdup(line + used);
    funcs[n_funcs].cost = 0;
    ++n_funcs;
  }
  fclose(f);
  if (!funcs) return false;
  qsort(funcs, n_funcs, sizeof *funcs, by_start);
  return true;
}

/* ---- translation blocks ---- */
typedef struct {
  uint32_t pc;       /* first instruction */
  uint32_t after;    /* the address after the last instruction: a call's return */
  uint32_t n;        /* instructions */
  long func;         /* the function holding pc, or -1 */
  char role;         /* 'F' or 'L' when pc is that function's start, else 0 */
  bool call;         /* ends in a call */
} Block;

static uint32_t word_at(const struct qemu_plugin_insn* insn) {
  uint32_t w = 0;
  size_t size = qemu_plugin_insn_size(insn);
  memcpy(&w, qemu_plugin_insn_data(insn), size < 4 ? size : 4);
  return w;
}

/* An ARM instruction that writes the pc (a jump that a "mov lr, pc" before it makes a call). */
static bool writes_pc(uint32_t w) {
  if ((w & 0x0FFFFFF0u) == 0x012FFF10u) return true;              /* bx rN */
  if ((w & 0x0C00F000u) == 0x0000F000u && (w & 0x0E000090u) != 0x00000090u &&
      (w & 0x0D900000u) != 0x01000000u)
    return true;                                                  /* data processing into pc */
  if ((w & 0x0C50F000u) == 0x0410F000u) return true;              /* ldr pc, ... */
  if ((w & 0x0E108000u) == 0x08108000u) return true;              /* ldm with pc */
  return false;
}

static bool is_call(const struct qemu_plugin_tb* tb, size_t n) {
  const struct qemu_plugin_insn* last = qemu_plugin_tb_get_insn(tb, n - 1);
  if (qemu_plugin_insn_size(last) != 4) return false; /* Thumb: not used by this build */
  uint32_t w = word_at(last);
  uint32_t cond = w >> 28;
  if (cond != 0xF && (w & 0x0F000000u) == 0x0B000000u) return true; /* bl */
  if (cond == 0xF && (w & 0x0E000000u) == 0x0A000000u) return true; /* blx imm */
  if (cond != 0xF && (w & 0x0FFFFFF0u) == 0x012FFF30u) return true; /* blx rN */
  if (n >= 2 && writes_pc(w)) {
    const struct qemu_plugin_insn* before = qemu_plugin_tb_get_insn(tb, n - 2);
    if (qemu_plugin_insn_size(before) == 4 && word_at(before) == 0xE1A0E00Fu) return true;
  }
  return false;
}

/* ---- per thread (qemu's vcpu) ---- */
enum { kThreads = 256, kStack = 8192, kLook = 4 };
typedef struct {
  uint32_t stack[kStack];
  int depth;
  int frame_depth; /* -1: not in a frame */
  int left_depth;  /* -1: not in a left-out function */
  uint64_t total;
  uint64_t* per_func; /* other threads: their instructions per function */
} Thread;
static Thread* threads[kThreads];

static uint64_t* frame_costs;
static size_t n_frames, cap_frames;
/* The current frame's cost per function (the indices it touched listed), and the worst's. */
static uint64_t* cur_cost;
static uint32_t* touched;
static size_t n_touched;
static uint64_t* worst_cost;
static uint64_t worst_total;

static void end_frame(void) {
  if (n_frames == 0) return;
  const uint64_t total = frame_costs[n_frames - 1];
  const bool worst = total > worst_total;
  if (worst) {
    worst_total = total;
    memset(worst_cost, 0, n_funcs * sizeof *worst_cost);
  }
  for (size_t i = 0; i < n_touched; ++i) {
    if (worst) worst_cost[touched[i]] = cur_cost[touched[i]];
    cur_cost[touched[i]] = 0;
  }
  n_touched = 0;
}
static uint64_t left_total;
static const char* out_path;

static Thread* thread_of(unsigned int vcpu) {
  Thread** slot = &threads[vcpu % kThreads];
  if (!*slot) {
    *slot = calloc(1, sizeof(Thread));
    if (!*slot) abort();
    (*slot)->frame_depth = (*slot)->left_depth = -1;
    (*slot)->per_func = calloc(n_funcs + 1, sizeof(uint64_t));
    if (!(*slot)->per_func) abort();
  }
  return *slot;
}

static void on_block(unsigned int vcpu, void* data) {
  const Block* b = data;
  Thread* t = thread_of(vcpu);
  for (int k = 0; k < kLook && k < t->depth; ++k) {
    if (t->stack[t->depth - 1 - k] == b->pc) {
      t->depth -= k + 1;
      break;
    }
  }
  if (t->left_depth >= 0 && t->depth < t->left_depth) t->left_depth = -1;
  if (t->frame_depth >= 0 && t->depth < t->frame_depth) {
    if (vcpu == 0) end_frame();
    t->frame_depth = -1;
    t->left_depth = -1;
  }
  if (vcpu == 0 && b->role == 'F' && t->frame_depth < 0) {
    t->frame_depth = t->depth;
    if (n_frames == cap_frames) {
      cap_frames = cap_frames ? 2 * cap_frames : 1024;
      frame_costs = realloc(frame_costs, cap_frames * sizeof *frame_costs);
      if (!frame_costs) abort();
    }
    frame_costs[n_frames++] = 0;
  }
  if (b->role == 'L' && t->frame_depth >= 0 && t->left_depth < 0) t->left_depth = t->depth;

  if (vcpu == 0) {
    if (t->frame_depth >= 0) {
      if (t->left_depth >= 0) {
        left_total += b->n;
      } else {
        frame_costs[n_frames - 1] += b->n;
        if (b->func >= 0) {
          funcs[b->func].cost += b->n;
          if (cur_cost[b->func] == 0) touched[n_touched++] = (uint32_t)b->func;
          cur_cost[b->func] += b->n;
        }
      }
    }
  } else {
    t->total += b->n;
    t->per_func[b->func >= 0 ? (size_t)b->func : n_funcs] += b->n;
  }
  if (b->call && t->depth < kStack) t->stack[t->depth++] = b->after;
}

static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
  (void)id;
  size_t n = qemu_plugin_tb_n_insns(tb);
  if (n == 0) return;
  /* Blocks live as long as the run: qemu may run a translation until the program ends. */
  Block* b = malloc(sizeof *b);
  if (!b) abort();
  const struct qemu_plugin_insn* last = qemu_plugin_tb_get_insn(tb, n - 1);
  b->pc = (uint32_t)qemu_plugin_tb_vaddr(tb);
  b->after = (uint32_t)(qemu_plugin_insn_vaddr(last) + qemu_plugin_insn_size(last));
  b->n = (uint32_t)n;
  b->func = find_func(b->pc);
  b->role = b->func >= 0 && funcs[b->func].start == b->pc && funcs[b->func].role != '-'
                ? funcs[b->func].role
                : 0;
  b->call = is_call(tb, n);
  qemu_plugin_register_vcpu_tb_exec_cb(tb, on_block, QEMU_PLUGIN_CB_NO_REGS, b);
}

static void on_program_end(qemu_plugin_id_t id, void* data) {
  (void)id;
  (void)data;
  FILE* f = fopen(out_path, "w");
  if (!f) {
    qemu_plugin_outs("frame_count_plugin: cannot write its results\n");
    return;
  }
  end_frame();
  for (size_t i = 0; i < n_funcs; ++i)
    if (worst_cost[i]) fprintf(f, "worst %llu %s\n", (unsigned long long)worst_cost[i], funcs[i].name);
  for (size_t i = 0; i < n_frames; ++i) fprintf(f, "frame %llu\n", (unsigned long long)frame_costs[i]);
  for (size_t i = 0; i < n_funcs; ++i)
    if (funcs[i].cost) fprintf(f, "func %llu %s\n", (unsigned long long)funcs[i].cost, funcs[i].name);
  fprintf(f, "left %llu\n", (unsigned long long)left_total);
  for (unsigned int v = 1; v < kThreads; ++v) {
    const Thread* t = threads[v];
    if (!t || !t->total) continue;
    size_t top = 0;
    for (size_t i = 1; i <= n_funcs; ++i)
      if (t->per_func[i] > t->per_func[top]) top = i;
    fprintf(f, "thread %u %llu %s\n", v, (unsigned long long)t->total,
            top < n_funcs ? funcs[top].name : "?");
  }
  fclose(f);
}

int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t* info, int argc, char** argv) {
  (void)info;
  const char* syms = NULL;
  for (int i = 0; i < argc; ++i) {
    if (strncmp(argv[i], "syms=", 5) == 0) syms = argv[i] + 5;
    else if (strncmp(argv[i], "out=", 4) == 0) out_path = argv[i] + 4;
  }
  if (!syms || !out_path || !load_syms(syms)) {
    qemu_plugin_outs("frame_count_plugin: needs syms=FILE (readable) and out=FILE\n");
    return -1;
  }
  cur_cost = calloc(n_funcs + 1, sizeof *cur_cost);
  worst_cost = calloc(n_funcs + 1, sizeof *worst_cost);
  touched = calloc(n_funcs + 1, sizeof *touched);
  if (!cur_cost || !worst_cost || !touched) return -1;
  qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
  qemu_plugin_register_atexit_cb(id, on_program_end, NULL);
  return 0;
}
