// SHA-384/SHA-512 compression for x86-64 with AVX2 and BMI1/BMI2, and a
// variant whose message schedule uses AVX-512VL rotations.
//
//   void quorvil_sha512_blocks_avx2(uint64_t state[8], const uint8_t* data, size_t blocks);
//   void quorvil_sha512_blocks_avx512(uint64_t state[8], const uint8_t* data, size_t blocks);
//
// Two blocks are taken at a time. Their message schedules are computed side by
// side, the first block's in the low 128-bit half of each vector register and
// the second's in the high half, while the scalar rounds of the first block
// run; the second block's rounds then find all of their words ready. A lone
// last block is scheduled beside itself and its second pass is skipped.
//
// The rounds keep all eight working variables and five temporaries in
// general registers; words plus round constants (W + K) go through the stack
// frame, 32 bytes for each two rounds: the first block's pair, then the
// second's. Sixteen rounds make one pass of a loop (rdi walks the frame), so
// the code stays small enough for the processor's decoded-instruction cache.
// Both System V and Windows x64 calling conventions are served.
//
// The round: Ch(e, f, g) = (e & f) + (~e & g), the halves never share a bit;
// Maj(a, b, c) = b ^ ((a ^ b) & (b ^ c)), with b ^ c carried from the round
// before (in r14 and r15 alternately); Sigma0(a) is added to the new a one
// round late (in rsi), which takes it off the path from one a to the next.

#if defined(__x86_64__)

// The frame: W + K for 80 rounds of two blocks, then the loop's own values.
#define STATE_SLOT 1280        /* the state's address */
#define NEXT_SLOT  1288        /* where the next pair starts */
#define END_SLOT   1296        /* the end of the data */
#define PAIR_SLOT  1304        /* nonzero while the second block is still to run */
#define LIMIT_SLOT 1312        /* where the current run of rounds ends */
#define SP_SLOT    1320        /* the stack pointer on entry */
#define FRAME      1344

// The rotating names of the working variables, round by round.
#define R0 %rax, %rbx, %rcx, %rdx, %r8, %r9, %r10, %r11
#define R1 %r11, %rax, %rbx, %rcx, %rdx, %r8, %r9, %r10
#define R2 %r10, %r11, %rax, %rbx, %rcx, %rdx, %r8, %r9
#define R3 %r9, %r10, %r11, %rax, %rbx, %rcx, %rdx, %r8
#define R4 %r8, %r9, %r10, %r11, %rax, %rbx, %rcx, %rdx
#define R5 %rdx, %r8, %r9, %r10, %r11, %rax, %rbx, %rcx
#define R6 %rcx, %rdx, %r8, %r9, %r10, %r11, %rax, %rbx
#define R7 %rbx, %rcx, %rdx, %r8, %r9, %r10, %r11, %rax

// The frame offset of W + K for round t of the first block, 32 * (t / 2) +
// 8 * (t % 2) (add 16 for the second block).
#define WK(t) (16*(t)-8*((t)&1))

        .text

// One round, reading W + K at rdi + wk. bcin holds b ^ c and becomes Maj;
// a ^ b goes to abo, the next round's bcin. r13 holds a copy of f on entry
// and of e on exit (the next round's f).
.macro ROUND a, b, c, d, e, f, g, h, wk, bcin, abo
        add     0 + \wk(%rdi), \h
        and     \e, %r13
        rorx    $41, \e, %r12
        rorx    $18, \e, \abo
        lea     (\a, %rsi), \a
        lea     (\h, %r13), \h
        andn    \g, \e, %r13
        xor     \abo, %r12
        rorx    $14, \e, \abo
        lea     (\h, %r13), \h
        xor     \abo, %r12
        mov     \a, \abo
        rorx    $39, \a, %r13
        lea     (\h, %r12), \h
        xor     \b, \abo
        rorx    $34, \a, %rsi
        rorx    $28, \a, %r12
        lea     (\d, \h), \d
        and     \abo, \bcin
        xor     %r13, %rsi
        xor     \b, \bcin
        xor     %r12, %rsi
        lea     (\h, \bcin), \h
        mov     \e, %r13
.endm

// Small sigmas of the schedule: s0(x) = x >>> 1 ^ x >>> 8 ^ x >> 7 and
// s1(x) = x >>> 19 ^ x >>> 61 ^ x >> 6, in 64-bit lanes, into out.
.macro SIGMA avx512, x, out, r1, r2, s
.if \avx512
        vprorq  $\r1, \x, \out
        vprorq  $\r2, \x, %ymm9
        vpsrlq  $\s, \x, %ymm10
        vpternlogq $0x96, %ymm9, %ymm10, \out
.else
        vpsrlq  $\r1, \x, \out
        vpsllq  $(64 - \r1), \x, %ymm9
        vpxor   %ymm9, \out, \out
        vpsrlq  $\r2, \x, %ymm9
        vpxor   %ymm9, \out, \out
        vpsllq  $(64 - \r2), \x, %ymm9
        vpxor   %ymm9, \out, \out
        vpsrlq  $\s, \x, %ymm9
        vpxor   %ymm9, \out, \out
.endif
.endm

// One step of the schedule: w0 holds W[t-16..t-15] of both blocks and
// becomes W[t..t+1] = s1(W[t-2..t-1]) + W[t-7..t-6] + s0(W[t-15..t-14]) +
// W[t-16..t-15]; W + K is stored for rounds t and t+1. Split in two halves
// that go between rounds.
.macro STEP_FIRST avx512, w0, w1, w4, w5
        vpalignr $8, \w0, \w1, %ymm8
        SIGMA   \avx512, %ymm8, %ymm11, 1, 8, 7
        vpaddq  %ymm11, \w0, \w0
        vpalignr $8, \w4, \w5, %ymm8
        vpaddq  %ymm8, \w0, \w0
.endm
.macro STEP_SECOND avx512, w0, w7, t
        SIGMA   \avx512, \w7, %ymm11, 19, 61, 6
        vpaddq  %ymm11, \w0, \w0
        vpaddq  16 * (\t)(%rbp), \w0, %ymm8
        vmovdqa %ymm8, 16 * (\t)(%rdi)
.endm

// Sixteen rounds of the first block from the frame at rdi, with the eight
// schedule steps that produce the words of the sixteen rounds after them
// (round constants at rbp).
.macro ROUNDS16_SCHEDULED avx512
        STEP_FIRST  \avx512, %ymm0, %ymm1, %ymm4, %ymm5
        ROUND   R0, WK(0), %r15, %r14
        STEP_SECOND \avx512, %ymm0, %ymm7, 16
        ROUND   R1, WK(1), %r14, %r15
        STEP_FIRST  \avx512, %ymm1, %ymm2, %ymm5, %ymm6
        ROUND   R2, WK(2), %r15, %r14
        STEP_SECOND \avx512, %ymm1, %ymm0, 18
        ROUND   R3, WK(3), %r14, %r15
        STEP_FIRST  \avx512, %ymm2, %ymm3, %ymm6, %ymm7
        ROUND   R4, WK(4), %r15, %r14
        STEP_SECOND \avx512, %ymm2, %ymm1, 20
        ROUND   R5, WK(5), %r14, %r15
        STEP_FIRST  \avx512, %ymm3, %ymm4, %ymm7, %ymm0
        ROUND   R6, WK(6), %r15, %r14
        STEP_SECOND \avx512, %ymm3, %ymm2, 22
        ROUND   R7, WK(7), %r14, %r15
        STEP_FIRST  \avx512, %ymm4, %ymm5, %ymm0, %ymm1
        ROUND   R0, WK(8), %r15, %r14
        STEP_SECOND \avx512, %ymm4, %ymm3, 24
        ROUND   R1, WK(9), %r14, %r15
        STEP_FIRST  \avx512, %ymm5, %ymm6, %ymm1, %ymm2
        ROUND   R2, WK(10), %r15, %r14
        STEP_SECOND \avx512, %ymm5, %ymm4, 26
        ROUND   R3, WK(11), %r14, %r15
        STEP_FIRST  \avx512, %ymm6, %ymm7, %ymm2, %ymm3
        ROUND   R4, WK(12), %r15, %r14
        STEP_SECOND \avx512, %ymm6, %ymm5, 28
        ROUND   R5, WK(13), %r14, %r15
        STEP_FIRST  \avx512, %ymm7, %ymm0, %ymm3, %ymm4
        ROUND   R6, WK(14), %r15, %r14
        STEP_SECOND \avx512, %ymm7, %ymm6, 30
        ROUND   R7, WK(15), %r14, %r15
.endm

// Eight rounds from the frame at rdi, t = first + 0..7.
.macro ROUNDS8 first
        ROUND   R0, WK(\first+0), %r15, %r14
        ROUND   R1, WK(\first+1), %r14, %r15
        ROUND   R2, WK(\first+2), %r15, %r14
        ROUND   R3, WK(\first+3), %r14, %r15
        ROUND   R4, WK(\first+4), %r15, %r14
        ROUND   R5, WK(\first+5), %r14, %r15
        ROUND   R6, WK(\first+6), %r15, %r14
        ROUND   R7, WK(\first+7), %r14, %r15
.endm

// Sixteen rounds from the frame at rdi (which points at the first block's
// words, or 16 bytes further at the second block's).
.macro ROUNDS16
        ROUNDS8 0
        ROUNDS8 8
.endm

// Adds the working variables into the state (rdi) and keeps the sums as the
// next block's starting values.
.macro ADD_STATE
        add     %rsi, %rax
        mov     STATE_SLOT(%rsp), %rdi
        add     0(%rdi), %rax
        add     8(%rdi), %rbx
        add     16(%rdi), %rcx
        add     24(%rdi), %rdx
        add     32(%rdi), %r8
        add     40(%rdi), %r9
        add     48(%rdi), %r10
        add     56(%rdi), %r11
        mov     %rax, 0(%rdi)
        mov     %rbx, 8(%rdi)
        mov     %rcx, 16(%rdi)
        mov     %rdx, 24(%rdi)
        mov     %r8, 32(%rdi)
        mov     %r9, 40(%rdi)
        mov     %r10, 48(%rdi)
        mov     %r11, 56(%rdi)
.endm

// Loads 16 bytes of each block (rsi, rdi) at byte offset i * 16 into ymm
// register w, big-endian words, and stores W + K for rounds 2i and 2i + 1.
.macro LOAD_WORDS w, i
        vmovdqu (16 * \i)(%rsi), %xmm8
        vinserti128 $1, (16 * \i)(%rdi), %ymm8, %ymm8
        vpshufb %ymm12, %ymm8, \w
        vpaddq  quorvil_sha512_round_constant_pairs + 32 * \i(%rip), \w, %ymm8
        vmovdqa %ymm8, (32 * \i)(%rsp)
.endm

.macro KERNEL name, avx512
        .globl  \name
#ifdef __ELF__
        .type   \name, @function
#endif
        .p2align 6
\name:
        push    %rbp
        push    %rbx
        push    %r12
        push    %r13
        push    %r14
        push    %r15
#ifdef _WIN64
        push    %rdi
        push    %rsi
        // xmm6 to xmm12 belong to the caller there.
        sub     $120, %rsp
        vmovdqu %xmm6, 0(%rsp)
        vmovdqu %xmm7, 16(%rsp)
        vmovdqu %xmm8, 32(%rsp)
        vmovdqu %xmm9, 48(%rsp)
        vmovdqu %xmm10, 64(%rsp)
        vmovdqu %xmm11, 80(%rsp)
        vmovdqu %xmm12, 96(%rsp)
        mov     %rcx, %rdi
        mov     %rdx, %rsi
        mov     %r8, %rdx
#endif
        mov     %rsp, %rax
        sub     $FRAME, %rsp
        and     $-64, %rsp
        mov     %rax, SP_SLOT(%rsp)
        test    %rdx, %rdx
        jz      9f

        mov     %rdi, STATE_SLOT(%rsp)
        shl     $7, %rdx
        add     %rsi, %rdx
        mov     %rdx, END_SLOT(%rsp)
        vmovdqa quorvil_sha512_byte_swap(%rip), %ymm12
        mov     0(%rdi), %rax
        mov     8(%rdi), %rbx
        mov     16(%rdi), %rcx
        mov     24(%rdi), %rdx
        mov     32(%rdi), %r8
        mov     40(%rdi), %r9
        mov     48(%rdi), %r10
        mov     56(%rdi), %r11

1:      // rsi: the first block; rdi: the second, or the first again when
        // it is the last one.
        lea     128(%rsi), %rdi
        cmp     END_SLOT(%rsp), %rdi
        jb      2f
        mov     %rsi, %rdi
2:      lea     128(%rdi), %r12
        mov     %r12, NEXT_SLOT(%rsp)
        mov     %rdi, %r12
        sub     %rsi, %r12
        mov     %r12, PAIR_SLOT(%rsp)
        LOAD_WORDS %ymm0, 0
        LOAD_WORDS %ymm1, 1
        LOAD_WORDS %ymm2, 2
        LOAD_WORDS %ymm3, 3
        LOAD_WORDS %ymm4, 4
        LOAD_WORDS %ymm5, 5
        LOAD_WORDS %ymm6, 6
        LOAD_WORDS %ymm7, 7

        // The first block: 64 rounds beside the schedule, 16 without.
        xor     %esi, %esi
        mov     %rbx, %r15
        xor     %rcx, %r15
        mov     %r9, %r13
        mov     %rsp, %rdi
        lea     quorvil_sha512_round_constant_pairs(%rip), %rbp
4:      ROUNDS16_SCHEDULED \avx512
        add     $256, %rdi
        add     $256, %rbp
        lea     1024(%rsp), %r12
        cmp     %r12, %rdi
        jb      4b
        lea     1280(%rsp), %r12
        mov     %r12, LIMIT_SLOT(%rsp)
5:      ROUNDS16
        add     $256, %rdi
        cmp     LIMIT_SLOT(%rsp), %rdi
        jb      5b
        ADD_STATE
        // Then the second block, if there is one, from words already made.
        cmpq    $0, PAIR_SLOT(%rsp)
        je      3f
        movq    $0, PAIR_SLOT(%rsp)
        lea     16(%rsp), %rdi
        lea     1296(%rsp), %r12
        mov     %r12, LIMIT_SLOT(%rsp)
        xor     %esi, %esi
        mov     %rbx, %r15
        xor     %rcx, %r15
        mov     %r9, %r13
        jmp     5b

3:      mov     NEXT_SLOT(%rsp), %rsi
        cmp     END_SLOT(%rsp), %rsi
        jb      1b

9:      vzeroupper
        mov     SP_SLOT(%rsp), %rsp
#ifdef _WIN64
        vmovdqu 0(%rsp), %xmm6
        vmovdqu 16(%rsp), %xmm7
        vmovdqu 32(%rsp), %xmm8
        vmovdqu 48(%rsp), %xmm9
        vmovdqu 64(%rsp), %xmm10
        vmovdqu 80(%rsp), %xmm11
        vmovdqu 96(%rsp), %xmm12
        add     $120, %rsp
        pop     %rsi
        pop     %rdi
#endif
        pop     %r15
        pop     %r14
        pop     %r13
        pop     %r12
        pop     %rbx
        pop     %rbp
        ret
#ifdef __ELF__
        .size   \name, . - \name
#endif
.endm

        KERNEL  quorvil_sha512_blocks_avx2, 0
        KERNEL  quorvil_sha512_blocks_avx512, 1

#ifdef _WIN64
        .section .rdata, "dr"
#else
        .section .rodata
#endif
        .p2align 5
// vpshufb pattern that reverses the bytes of each 64-bit word.
quorvil_sha512_byte_swap:
        .quad   0x0001020304050607, 0x08090a0b0c0d0e0f
        .quad   0x0001020304050607, 0x08090a0b0c0d0e0f

#endif

#if defined(__ELF__)
        .section .note.GNU-stack, "", @progbits
#endif
