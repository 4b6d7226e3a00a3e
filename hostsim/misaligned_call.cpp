#include "hostsim/misaligned_call.h"

#if HOSTSIM_MISALIGNED_CALLS

// The trampoline, in GNU assembler for i686 (mingw adds the leading underscore to C names).
// Arguments: 8(%ebp) function, 12(%ebp) words, 16(%ebp) count. Below the saved registers it
// reserves room for the words plus slack, rounds down to 16 and adds 4, so the first argument
// word (the stack pointer at the call) sits at 4 mod 16 whatever the caller's alignment was.
// The callee may clobber eax, ecx and edx only; ebp restores the stack afterwards, as cdecl
// leaves the arguments for the caller to remove.
__asm__(".text\n"
        ".globl _hostsim_call_misaligned\n"
        "_hostsim_call_misaligned:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    pushl %esi\n"
        "    pushl %edi\n"
        "    movl 16(%ebp), %ecx\n"
        "    leal 16(,%ecx,4), %edx\n"
        "    movl %esp, %edi\n"
        "    subl %edx, %edi\n"
        "    andl $-16, %edi\n"
        "    orl $4, %edi\n"
        "    movl 12(%ebp), %esi\n"
        "    xorl %edx, %edx\n"
        "1:  cmpl %ecx, %edx\n"
        "    jge 2f\n"
        "    movl (%esi,%edx,4), %eax\n"
        "    movl %eax, (%edi,%edx,4)\n"
        "    incl %edx\n"
        "    jmp 1b\n"
        "2:  movl %edi, %esp\n"
        "    movl 8(%ebp), %eax\n"
        "    call *%eax\n"
        "    leal -8(%ebp), %esp\n"
        "    popl %edi\n"
        "    popl %esi\n"
        "    popl %ebp\n"
        "    ret\n"
        // Returns the address of its own first argument word, as a callee sees it: the stack
        // pointer just above the return address.
        ".globl _hostsim_misaligned_argument_address\n"
        "_hostsim_misaligned_argument_address:\n"
        "    leal 4(%esp), %eax\n"
        "    ret\n");

#endif
