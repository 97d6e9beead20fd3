/* bench/frame_count_plugin.c: a qemu-arm (user mode) TCG plugin that counts the ARM
 * instructions the console's main core spends on a game's frames, for bench/frame_cost.sh
 * --arm, which builds and loads it:
 *
 *   qemu-arm -plugin ./frame_count_plugin.so,syms=SYMS,out=OUT PROGRAM
 *
 * SYMS lists the program's functions, one a line: "START SIZE ROLE NAME" (START and SIZE in
 * hex). ROLE is
 *   F  the frame function: its calls on the program's first thread are the frames
 *   L  left out whole with everything it calls (waits, the host's device emulation)
 *   T  a thread's work that the main core does too (a sound writer): on any other thread,
 *      what runs under it counts, and goes to the frame open on the first thread meanwhile
 *   S  a screen: when any is named, only the frames that call one count
 *   -  the rest
 * The first thread's instructions count under a frame and under no L function; another
 * thread's under a T function and under no L function. Such a thread's work is added to the
 * frame during whose interval it runs (from the frame function's entry to its return); work
 * while no frame is open (start-up, shut-down) is kept apart.
 *
 * OUT receives, when the program ends:
 *   frame MAIN SEL W0 W1 ..  one line per frame, in order: the first thread's instructions,
 *                            1 when the frame counts, and each T function's in its interval
 *   slot I OUTSIDE NAME      T function I, and its instructions while no frame was open
 *   slotfunc I COUNT NAME    per function, what T function I's threads counted
 *   func COUNT NAME          per function, the first thread's over the counted frames
 *   worstframe K             the counted frame that cost the most, all threads together
 *   worst COUNT NAME         per function, the first thread's in that frame
 *   left COUNT               the first thread's instructions under L in the counted frames
 *   thread V TOTAL COUNTED LEFT TOP   each other thread: all its instructions, those counted,
 *                            those left out under a T function, and its busiest function
 *   overflow                 more frames ran than the plugin keeps
 *
 * Calls are followed with a shadow stack of return addresses: a block that ends in a call
 * (BL, BLX, or "mov lr, pc" before a jump) pushes the address after it; a block that starts
 * at an address on the stack (its top few entries, so that a tail call's return and an
 * untaken conditional call are both seen) pops down to it. A frame, a thread's work or a
 * left-out region ends when the stack falls below the depth at which it began.
 *
 * The plugin API is declared here from its documentation (Debian's qemu-user exports it but
 * ships no header); it is version 1 of the API, the one qemu 7.2 offers. */
#include <pthread.h>
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
typedef void (*qemu_plugin_vcpu_syscall_cb_t)(qemu_plugin_id_t id, unsigned int vcpu_index, int64_t num,
                                              uint64_t a1, uint64_t a2, uint64_t a3, uint64_t a4,
                                              uint64_t a5, uint64_t a6, uint64_t a7, uint64_t a8);
void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
void qemu_plugin_register_vcpu_tb_exec_cb(struct qemu_plugin_tb* tb, qemu_plugin_vcpu_udata_cb_t cb,
                                          enum qemu_plugin_cb_flags flags, void* userdata);
void qemu_plugin_register_vcpu_syscall_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_syscall_cb_t cb);
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

enum {
  kThreads = 256,
  kStack = 8192,
  kLook = 4,
  kSlots = 4,              /* T functions */
  kMaxFrames = 1 << 20,    /* nine hours of 30-ms frames */
  kRetired = 4096,
  kArmExit = 1             /* the ARM EABI's exit: a thread ends (exit_group ends them all) */
};

/* ---- the program's functions ---- */
typedef struct {
  uint32_t start, end;
  char role;
  int slot; /* role T: which T function */
  char* name;
} Func;
static Func* funcs;
static size_t n_funcs;

static char* slot_names[kSlots];
static int n_slots;
static bool has_screens;

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

/* T functions of one name share a slot. False when there are more names than slots. */
static bool assign_slot(Func* f) {
  for (int i = 0; i < n_slots; ++i) {
    if (strcmp(slot_names[i], f->name) == 0) {
      f->slot = i;
      return true;
    }
  }
  if (n_slots == kSlots) return false;
  slot_names[n_slots] = f->name;
  f->slot = n_slots++;
  return true;
}

static bool load_syms(const char* path) {
  FILE* f = fopen(path, "r");
  if (!f) return false;
  size_t cap = 4096;
  funcs = malloc(cap * sizeof *funcs);
  char line[4096];
  bool ok = true;
  while (funcs && fgets(line, sizeof line, f)) {
    unsigned long start, size;
    char role;
    int used = 0;
    if (sscanf(line, "%lx %lx %c %n", &start, &size, &role, &used) < 3 || used == 0) continue;
    line[strcspn(line, "\n")] = 0;
    if (n_funcs == cap) {
      cap *= 2;
      Func* grown = realloc(funcs, cap * sizeof *funcs);
      if (!grown) {
        ok = false;
        break;
      }
      funcs = grown;
    }
    Func* fn = &funcs[n_funcs];
    fn->start = (uint32_t)start & ~1u; /* a Thumb symbol's low bit */
    fn->end = (uint32_t)(start + size) & ~1u;
    fn->role = role;
    fn->slot = -1;
    fn->name = strdup(line + used);
    if (!fn->name || (role == 'T' && !assign_slot(fn))) {
      ok = false;
      break;
    }
    has_screens |= role == 'S';
    ++n_funcs;
  }
  fclose(f);
  if (!funcs || !ok) return false;
  qsort(funcs, n_funcs, sizeof *funcs, by_start);
  return true;
}

/* ---- translation blocks ---- */
typedef struct {
  uint32_t pc;       /* first instruction */
  uint32_t after;    /* the address after the last instruction: a call's return */
  uint32_t n;        /* instructions */
  long func;         /* the function holding pc, or -1 */
  char role;         /* the function's role when pc is its start, else 0 */
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
typedef struct {
  uint32_t stack[kStack];
  int depth;
  int region_depth; /* the first thread: the open frame's; others: the T function's; -1 none */
  int left_depth;   /* -1: not in a left-out function */
  int slot;         /* the T function it is under */
  unsigned int vcpu;
  uint64_t total, counted, left;
  uint64_t* per_func; /* its instructions per function (the last entry: outside any) */
} Thread;
static Thread* threads[kThreads];
/* A thread that ended: qemu gives its index to the next one. */
static Thread* retired[kRetired];
static size_t n_retired;
static pthread_mutex_t retired_lock = PTHREAD_MUTEX_INITIALIZER;

/* The frames, written by the first thread only; the index of the open one is read by the
 * others. */
static uint64_t* frame_main;
static uint8_t* frame_counts;
static size_t n_frames;
static bool overflow;
static long open_frame = -1;
static bool cur_screen;
static uint64_t cur_left;
/* The open frame's cost per function (the indices it touched listed), and the worst's. */
static uint64_t* cur_cost;
static uint32_t* touched;
static size_t n_touched;
static uint64_t* main_cost;
static uint64_t* worst_cost;
static uint64_t worst_total;
static long worst_index = -1;
static uint64_t left_total;

/* Each T function's work per frame interval, outside any, and per function. */
static uint64_t* slot_frame[kSlots];
static uint64_t slot_outside[kSlots];
static uint64_t* slot_func[kSlots];

static const char* out_path;

static bool start_frame(void) {
  if (n_frames == kMaxFrames) {
    overflow = true;
    return false;
  }
  frame_main[n_frames] = 0;
  cur_screen = !has_screens;
  cur_left = 0;
  __atomic_store_n(&open_frame, (long)n_frames, __ATOMIC_RELEASE);
  ++n_frames;
  return true;
}

static void end_frame(void) {
  const size_t k = n_frames - 1;
  __atomic_store_n(&open_frame, -1L, __ATOMIC_RELEASE);
  frame_counts[k] = cur_screen;
  uint64_t total = frame_main[k];
  for (int s = 0; s < n_slots; ++s) total += __atomic_load_n(&slot_frame[s][k], __ATOMIC_RELAXED);
  const bool worst = cur_screen && (worst_index < 0 || total > worst_total);
  if (worst) {
    worst_total = total;
    worst_index = (long)k;
    memset(worst_cost, 0, (n_funcs + 1) * sizeof *worst_cost);
  }
  for (size_t i = 0; i < n_touched; ++i) {
    const uint32_t f = touched[i];
    if (cur_screen) main_cost[f] += cur_cost[f];
    if (worst) worst_cost[f] = cur_cost[f];
    cur_cost[f] = 0;
  }
  n_touched = 0;
  if (cur_screen) left_total += cur_left;
}

static Thread* thread_of(unsigned int vcpu) {
  Thread** slot = &threads[vcpu % kThreads];
  if (!*slot) {
    *slot = calloc(1, sizeof(Thread));
    if (!*slot) abort();
    (*slot)->region_depth = (*slot)->left_depth = (*slot)->slot = -1;
    (*slot)->vcpu = vcpu;
    (*slot)->per_func = calloc(n_funcs + 1, sizeof(uint64_t));
    if (!(*slot)->per_func) abort();
  }
  return *slot;
}

static void on_syscall(qemu_plugin_id_t id, unsigned int vcpu, int64_t num, uint64_t a1, uint64_t a2,
                       uint64_t a3, uint64_t a4, uint64_t a5, uint64_t a6, uint64_t a7, uint64_t a8) {
  (void)id, (void)a1, (void)a2, (void)a3, (void)a4, (void)a5, (void)a6, (void)a7, (void)a8;
  if (num != kArmExit || vcpu == 0) return;
  Thread** slot = &threads[vcpu % kThreads];
  pthread_mutex_lock(&retired_lock);
  if (*slot && n_retired < kRetired) {
    retired[n_retired++] = *slot;
    *slot = NULL;
  }
  pthread_mutex_unlock(&retired_lock);
}

static void count_main(Thread* t, const Block* b) {
  if (t->left_depth >= 0) {
    t->left += b->n;
    cur_left += b->n;
    return;
  }
  t->counted += b->n;
  frame_main[n_frames - 1] += b->n;
  if (b->func >= 0) {
    if (cur_cost[b->func] == 0) touched[n_touched++] = (uint32_t)b->func;
    cur_cost[b->func] += b->n;
  }
}

static void count_other(Thread* t, const Block* b, size_t func) {
  if (t->left_depth >= 0) {
    t->left += b->n;
    return;
  }
  t->counted += b->n;
  const long k = __atomic_load_n(&open_frame, __ATOMIC_ACQUIRE);
  __atomic_fetch_add(k >= 0 ? &slot_frame[t->slot][k] : &slot_outside[t->slot], b->n, __ATOMIC_RELAXED);
  __atomic_fetch_add(&slot_func[t->slot][func], b->n, __ATOMIC_RELAXED);
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
  if (t->region_depth >= 0 && t->depth < t->region_depth) {
    if (vcpu == 0) end_frame();
    t->region_depth = t->left_depth = -1;
  }
  if (t->region_depth < 0) {
    if (vcpu == 0 && b->role == 'F') {
      if (start_frame()) t->region_depth = t->depth;
    } else if (vcpu != 0 && b->role == 'T') {
      t->region_depth = t->depth;
      t->slot = funcs[b->func].slot;
    }
  }
  if (t->region_depth >= 0) {
    if (b->role == 'L' && t->left_depth < 0) t->left_depth = t->depth;
    if (vcpu == 0 && b->role == 'S') cur_screen = true;
  }

  const size_t func = b->func >= 0 ? (size_t)b->func : n_funcs;
  t->total += b->n;
  t->per_func[func] += b->n;
  if (t->region_depth >= 0) {
    if (vcpu == 0) count_main(t, b);
    else count_other(t, b, func);
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

static void write_thread(FILE* f, const Thread* t) {
  if (!t || t->vcpu == 0 || !t->total) return;
  size_t top = 0;
  for (size_t i = 1; i <= n_funcs; ++i)
    if (t->per_func[i] > t->per_func[top]) top = i;
  fprintf(f, "thread %u %llu %llu %llu %s\n", t->vcpu, (unsigned long long)t->total,
          (unsigned long long)t->counted, (unsigned long long)t->left, top < n_funcs ? funcs[top].name : "?");
}

static void on_program_end(qemu_plugin_id_t id, void* data) {
  (void)id;
  (void)data;
  FILE* f = fopen(out_path, "w");
  if (!f) {
    qemu_plugin_outs("frame_count_plugin: cannot write its results\n");
    return;
  }
  /* A frame the program ended in is cut short: it is closed but does not count. */
  if (__atomic_load_n(&open_frame, __ATOMIC_ACQUIRE) >= 0) {
    cur_screen = false;
    end_frame();
  }
  for (size_t k = 0; k < n_frames; ++k) {
    fprintf(f, "frame %llu %d", (unsigned long long)frame_main[k], frame_counts[k]);
    for (int s = 0; s < n_slots; ++s) fprintf(f, " %llu", (unsigned long long)slot_frame[s][k]);
    fputc('\n', f);
  }
  for (int s = 0; s < n_slots; ++s) {
    fprintf(f, "slot %d %llu %s\n", s, (unsigned long long)slot_outside[s], slot_names[s]);
    for (size_t i = 0; i < n_funcs; ++i)
      if (slot_func[s][i])
        fprintf(f, "slotfunc %d %llu %s\n", s, (unsigned long long)slot_func[s][i], funcs[i].name);
  }
  for (size_t i = 0; i < n_funcs; ++i)
    if (main_cost[i]) fprintf(f, "func %llu %s\n", (unsigned long long)main_cost[i], funcs[i].name);
  if (worst_index >= 0) fprintf(f, "worstframe %ld\n", worst_index);
  for (size_t i = 0; i < n_funcs; ++i)
    if (worst_cost[i]) fprintf(f, "worst %llu %s\n", (unsigned long long)worst_cost[i], funcs[i].name);
  fprintf(f, "left %llu\n", (unsigned long long)left_total);
  pthread_mutex_lock(&retired_lock);
  for (size_t i = 0; i < n_retired; ++i) write_thread(f, retired[i]);
  for (unsigned int v = 1; v < kThreads; ++v) write_thread(f, threads[v]);
  pthread_mutex_unlock(&retired_lock);
  if (overflow) fprintf(f, "overflow\n");
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
    qemu_plugin_outs("frame_count_plugin: needs syms=FILE (readable, at most 4 thread functions) "
                     "and out=FILE\n");
    return -1;
  }
  /* Untouched pages of these cost nothing: only the frames that run are written. */
  frame_main = calloc(kMaxFrames, sizeof *frame_main);
  frame_counts = calloc(kMaxFrames, sizeof *frame_counts);
  cur_cost = calloc(n_funcs + 1, sizeof *cur_cost);
  main_cost = calloc(n_funcs + 1, sizeof *main_cost);
  worst_cost = calloc(n_funcs + 1, sizeof *worst_cost);
  touched = calloc(n_funcs + 1, sizeof *touched);
  if (!frame_main || !frame_counts || !cur_cost || !main_cost || !worst_cost || !touched) return -1;
  for (int s = 0; s < n_slots; ++s) {
    slot_frame[s] = calloc(kMaxFrames, sizeof *slot_frame[s]);
    slot_func[s] = calloc(n_funcs + 1, sizeof *slot_func[s]);
    if (!slot_frame[s] || !slot_func[s]) return -1;
  }
  qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
  qemu_plugin_register_vcpu_syscall_cb(id, on_syscall);
  qemu_plugin_register_atexit_cb(id, on_program_end, NULL);
  return 0;
}
