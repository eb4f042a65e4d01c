/* How plclink.dll calls KorMkClient, KorGetKorvanVer and KorRmClient in the
 * host's KORVAN.dll, whatever their calling convention.
 *
 * The module's code calls them as cdecl functions. Hosts' libraries differ:
 * with cdecl the caller removes the arguments, with stdcall the callee does.
 * The compiler keeps outgoing arguments in stack space reserved once per
 * function and addresses its locals from the stack pointer, so a stdcall
 * callee that moves the stack pointer would corrupt the caller's frame.
 *
 * Each function here is the one the module's code links to: it copies the
 * arguments, calls the host's function through the import table and then
 * restores the stack pointer from the frame pointer (a callee-saved register
 * in both conventions), so either convention leaves the stack as it was.
 * err() is variadic, hence cdecl in every host library, and is called
 * directly. entry/korvan.def declares the three as DATA, so the import
 * library gives only their import-table slots (__imp__Name) and no
 * functions of the same names. */

#define PLCLINK_HOST_CALL(name, pushes) \
    __asm__(".text\n"                                   \
            ".globl _" #name "\n"                       \
            ".def _" #name "; .scl 2; .type 32; .endef\n" \
            "_" #name ":\n"                             \
            "  pushl %ebp\n"                            \
            "  movl %esp, %ebp\n"                       \
            pushes                                      \
            "  call *__imp__" #name "\n"                \
            "  movl %ebp, %esp\n"                       \
            "  popl %ebp\n"                             \
            "  ret\n");

/* Arguments are pushed last first; the first is at 8(%ebp). */
/* KorMkClient(name, 1, 0, clientIdOut) */
PLCLINK_HOST_CALL(KorMkClient,
                  "  pushl 20(%ebp)\n  pushl 16(%ebp)\n  pushl 12(%ebp)\n  pushl 8(%ebp)\n")
/* KorGetKorvanVer(clientId, version, info100) */
PLCLINK_HOST_CALL(KorGetKorvanVer, "  pushl 16(%ebp)\n  pushl 12(%ebp)\n  pushl 8(%ebp)\n")
/* KorRmClient(clientId) */
PLCLINK_HOST_CALL(KorRmClient, "  pushl 8(%ebp)\n")
