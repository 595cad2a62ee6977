/* void tesmoraForeignCall(ForeignCall* call), cdecl: the body of callForeign
 * (foreign_call.h, which names the fields at these offsets).
 *
 * After the callee returns, no register of ours can be trusted: the frame is
 * found again through a thread-local slot (tesmoraForeignCallSlot, an index
 * below 64 into the TEB's TLS slots at fs:[0x18] + 0xE10). */
        .set FUNCTION, 0
        .set ARGUMENTS, 4
        .set ARGUMENT_COUNT, 20
        .set STACK_OFFSET, 24
        .set X87_CONTROL, 28
        .set MXCSR, 32
        .set PRESERVED, 36
        .set RESULT, 52
        .set STACK_AT_CALL, 56
        .set STACK_AFTER, 60
        .set PRESERVED_AFTER, 64
        .set X87_CONTROL_AFTER, 80
        .set X87_TAG_AFTER, 84
        .set MXCSR_AFTER, 88
        .set FLAGS_AFTER, 92
        .set TEB_TLS_SLOTS, 0xE10

        .data
        .globl _tesmoraForeignCallSlot
        .p2align 2
_tesmoraForeignCallSlot:
        .long 0

        .text
        .globl _tesmoraForeignCall
        .def _tesmoraForeignCall; .scl 2; .type 32; .endef
_tesmoraForeignCall:
        pushl %ebp
        movl %esp, %ebp
        pushl %ebx
        pushl %esi
        pushl %edi
        subl $8, %esp                   /* -16(%ebp): our x87 control word, -20(%ebp): our MXCSR */
        fnstcw -16(%ebp)
        stmxcsr -20(%ebp)

        movl %fs:0x18, %ecx             /* this thread's slot keeps the frame */
        movl _tesmoraForeignCallSlot, %edx
        movl %ebp, TEB_TLS_SLOTS(%ecx,%edx,4)

        /* The arguments, 256 bytes below our frame: aligned to 16, then moved
         * up by the offset asked for, so that esp has that offset at the call. */
        movl 8(%ebp), %ebx
        leal -256(%esp), %edi
        andl $-16, %edi
        addl STACK_OFFSET(%ebx), %edi
        movl %edi, STACK_AT_CALL(%ebx)
        movl %edi, %esp
        leal ARGUMENTS(%ebx), %esi
        movl ARGUMENT_COUNT(%ebx), %ecx
        cld
        rep movsl

        fldcw X87_CONTROL(%ebx)
        ldmxcsr MXCSR(%ebx)
        movl FUNCTION(%ebx), %eax
        movl PRESERVED+4(%ebx), %esi
        movl PRESERVED+8(%ebx), %edi
        movl PRESERVED+12(%ebx), %ebp
        movl PRESERVED(%ebx), %ebx
        call *%eax

        /* What the callee left, on the stack it left us. */
        pushfl
        pushl %ebp
        pushl %edi
        pushl %esi
        pushl %ebx
        pushl %eax
        leal 24(%esp), %eax             /* esp as the callee returned it */
        pushl %eax
        subl $32, %esp
        fnstenv (%esp)                  /* control word at 0, tag word at 8 */
        stmxcsr 28(%esp)

        movl %fs:0x18, %ecx
        movl _tesmoraForeignCallSlot, %edx
        movl TEB_TLS_SLOTS(%ecx,%edx,4), %ebp
        movl 8(%ebp), %ebx
        movzwl 0(%esp), %eax
        movl %eax, X87_CONTROL_AFTER(%ebx)
        movzwl 8(%esp), %eax
        movl %eax, X87_TAG_AFTER(%ebx)
        movl 28(%esp), %eax
        movl %eax, MXCSR_AFTER(%ebx)
        addl $32, %esp
        popl %eax
        movl %eax, STACK_AFTER(%ebx)
        popl %eax
        movl %eax, RESULT(%ebx)
        popl %eax
        movl %eax, PRESERVED_AFTER(%ebx)
        popl %eax
        movl %eax, PRESERVED_AFTER+4(%ebx)
        popl %eax
        movl %eax, PRESERVED_AFTER+8(%ebx)
        popl %eax
        movl %eax, PRESERVED_AFTER+12(%ebx)
        popl %eax
        movl %eax, FLAGS_AFTER(%ebx)

        /* Our own state back, whatever the callee did to it. */
        cld
        fninit
        fldcw -16(%ebp)
        ldmxcsr -20(%ebp)
        leal -12(%ebp), %esp
        popl %edi
        popl %esi
        popl %ebx
        popl %ebp
        ret
