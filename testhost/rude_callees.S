/* Stand-ins for a module, each taking one 32-bit argument under stdcall and
 * each, but the first two, breaking one rule of the convention: the foreign
 * caller's checks must name each breach (foreign_call_test.cpp). */
        .text
        .macro callee name
        .globl _\name
        .def _\name; .scl 2; .type 32; .endef
_\name:
        .endm

        /* Returns esp as it was at the call instruction. */
        callee rudeStackAtCall
        leal 4(%esp), %eax
        ret $4

        /* Returns its argument, touching nothing. */
        callee rudeNone
        movl 4(%esp), %eax
        ret $4

        callee rudeEbx
        xorl %ebx, %ebx
        ret $4

        callee rudeEsi
        incl %esi
        ret $4

        callee rudeEdi
        decl %edi
        ret $4

        callee rudeEbp
        xorl %ebp, %ebp
        ret $4

        /* Leaves its argument on the stack, as a C-convention function does. */
        callee rudePop
        ret

        callee rudeDirection
        std
        ret $4

        /* Switches the x87 unit to 64-bit precision. */
        callee rudeX87Control
        subl $4, %esp
        fnstcw (%esp)
        orw $0x0300, (%esp)
        fldcw (%esp)
        addl $4, %esp
        ret $4

        callee rudeX87Stack
        fld1
        ret $4

        /* Switches SSE rounding toward zero. */
        callee rudeMxcsr
        subl $4, %esp
        stmxcsr (%esp)
        orl $0x6000, (%esp)
        ldmxcsr (%esp)
        addl $4, %esp
        ret $4
