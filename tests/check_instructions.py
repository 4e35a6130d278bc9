#!/usr/bin/env python3
"""Checks every instruction of a shipped executable against the processors it
must run on: the 80386 integer set for the 32-bit program (Windows 95 runs on
a 386DX, and a 486SX has no FPU), the first AMD64 processors (SSE2, no later
extension) for the 64-bit one.

Each code section is disassembled from start to end (capstone). The linker
places data in .text too (the static-constructor and -destructor lists); the
link map, written beside the executable as NAME.map, says where it lies, and
only those ranges are passed over: bytes that do not decode elsewhere are a
failure, not something to step over. The map also names the function each
instruction lies in.

Usage: check_instructions.py EXE...   (exit status 1 when any check fails)
"""
import os
import re
import sys

import capstone
import pefile

# The 80386 programmer's reference, integer instructions (Intel syntax as
# capstone spells them). No x87, no later addition (BSWAP, CMPXCHG, XADD,
# INVD, WBINVD and INVLPG came with the 486; CPUID, CMPXCHG8B, RDTSC and
# RDMSR with the Pentium; CMOV with the Pentium Pro).
I386 = set("""
aaa aad aam aas adc add and arpl bound bsf bsr bt btc btr bts call cbw cdq clc cld cli
clts cmc cmp cmpsb cmpsd cmpsw cwd cwde daa das dec div enter hlt idiv imul in inc insb
insd insw int int3 into iret iretd jcxz jecxz jmp lahf lar lcall lds lea leave les lfs
lgdt lgs lidt ljmp lldt lmsw lodsb lodsd lodsw loop loope loopne lsl lss ltr mov movsb
movsd movsw movsx movzx mul neg nop not or out outsb outsd outsw pop popal popaw popfd
popfw push pushal pushaw pushfd pushfw rcl rcr ret retf rol ror sahf sal sar sbb scasb
scasd scasw sgdt shl shld shr shrd sidt sldt smsw stc std sti stosb stosd stosw str sub
test verr verw wait xchg xlatb xor ud2
""".split())
CONDITIONS = "a ae b be e g ge l le ne no np ns o p s".split()
I386 |= {"j" + c for c in CONDITIONS} | {"set" + c for c in CONDITIONS}
I386_PREFIXES = {"rep", "repe", "repne", "lock"}

# The first AMD64 processors: the 386 set, what the 486, Pentium and Pentium
# Pro added, the 64-bit forms, x87, and SSE and SSE2 (not SSE3, POPCNT,
# LZCNT, BMI, MOVBE, CMPXCHG16B, RDRAND, RDSEED or anything later).
AMD64 = I386 | {"cmov" + c for c in CONDITIONS} | set("""
bswap cmpxchg cmpxchg8b xadd invd wbinvd invlpg cpuid rdtsc rdmsr wrmsr rdpmc
cdqe cqo movsxd movsq stosq lodsq scasq cmpsq iretq pushfq popfq movabs syscall sysret
swapgs sysenter sysexit
f2xm1 fabs fadd faddp fbld fbstp fchs fnclex fcom fcomp fcompp fcomi fcomip fucomi
fucomip fcos fdecstp fdiv fdivp fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild
fimul fincstp fninit fist fistp fisub fisubr fld fld1 fldcw fldenv fldl2e fldl2t fldlg2
fldln2 fldpi fldz fmul fmulp fnop fpatan fprem fprem1 fptan frndint frstor fnsave fscale
fsin fsincos fsqrt fst fnstcw fnstenv fstp fnstsw fsub fsubp fsubr fsubrp ftst fucom
fucomp fucompp fxam fxch fxtract fyl2x fyl2xp1 fcmovb fcmove fcmovbe fcmovu fcmovnb
fcmovne fcmovnbe fcmovnu fxsave fxrstor fxsave64 fxrstor64
emms movd movq packssdw packsswb packuswb paddb paddw paddd paddsb paddsw paddusb
paddusw pand pandn pcmpeqb pcmpeqw pcmpeqd pcmpgtb pcmpgtw pcmpgtd pmaddwd pmulhw pmullw
por psllw pslld psllq psraw psrad psrlw psrld psrlq psubb psubw psubd psubsb psubsw
psubusb psubusw punpckhbw punpckhwd punpckhdq punpcklbw punpcklwd punpckldq pxor
addps addss andnps andps cmpps cmpss comiss cvtpi2ps cvtps2pi cvtsi2ss cvtss2si cvttps2pi
cvttss2si divps divss ldmxcsr maxps maxss minps minss movaps movhlps movhps movlhps
movlps movmskps movntps movss movups mulps mulss orps rcpps rcpss rsqrtps rsqrtss shufps
sqrtps sqrtss stmxcsr subps subss ucomiss unpckhps unpcklps xorps pavgb pavgw pextrw
pinsrw pmaxsw pmaxub pminsw pminub pmovmskb pmulhuw psadbw pshufw maskmovq movntq
prefetchnta prefetcht0 prefetcht1 prefetcht2 sfence
addpd addsd andnpd andpd cmppd comisd cvtdq2pd cvtdq2ps cvtpd2dq cvtpd2pi cvtpd2ps
cvtpi2pd cvtps2dq cvtps2pd cvtsd2si cvtsd2ss cvtsi2sd cvtss2sd cvttpd2dq cvttpd2pi
cvttps2dq cvttsd2si divpd divsd maxpd maxsd minpd minsd movapd movhpd movlpd movmskpd
movupd mulpd mulsd orpd shufpd sqrtpd sqrtsd subpd subsd ucomisd unpckhpd unpcklpd xorpd
movdq2q movdqa movdqu movq2dq paddq pmuludq pshufd pshufhw pshuflw pslldq psrldq psubq
punpckhqdq punpcklqdq clflush lfence mfence maskmovdqu movntdq movnti movntpd pause
""".split())
AMD64_COMPARES = re.compile(r"^cmp(eq|lt|le|unord|neq|nlt|nle|ord)(ps|ss|pd|sd)$")
AMD64_PREFIXES = I386_PREFIXES | {"repz", "repnz", "rex64", "data16"}

MAP_DATA = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(LONG|QUAD|SHORT|BYTE|SQUAD)\b")
MAP_INPUT = re.compile(r"^ (\.\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+\S")
MAP_SYMBOL = re.compile(r"^\s+0x([0-9a-f]+)\s+([^=\s].*)$")
DATA_INPUT_SECTIONS = re.compile(r"^\.(c|d)tors")


def read_map(path):
    """The data ranges in code and the function names the link map gives:
    ([(start, end)], [(address, name)] sorted)."""
    data, symbols = [], []
    pending_section = None
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            match = MAP_DATA.match(line)
            if match:
                start = int(match.group(1), 16)
                data.append((start, start + int(match.group(2), 16)))
                continue
            if re.match(r"^ \.\S+$", line):  # a long section name, its numbers below
                pending_section = line.strip()
                continue
            match = MAP_INPUT.match(line)
            if match:
                section = match.group(1) or pending_section or ""
                pending_section = None
                start, size = int(match.group(2), 16), int(match.group(3), 16)
                if DATA_INPUT_SECTIONS.match(section) and size:
                    data.append((start, start + size))
                continue
            pending_section = None
            match = MAP_SYMBOL.match(line)
            if match and "PROVIDE" not in line and " = " not in line:
                symbols.append((int(match.group(1), 16), match.group(2).strip()))
    symbols.sort()
    return sorted(data), symbols


def function_at(symbols, address):
    name = "?"
    for start, symbol in symbols:
        if start > address:
            break
        name = symbol
    return name


def allowed(insn, is_64bit):
    words = insn.mnemonic.split()
    prefixes, base = words[:-1], words[-1]
    if is_64bit:
        if any(p not in AMD64_PREFIXES for p in prefixes):
            return False
        return base in AMD64 or bool(AMD64_COMPARES.match(base))
    if any(p not in I386_PREFIXES for p in prefixes) or base not in I386:
        return False
    operands = insn.op_str
    if re.search(r"\b(x|y|z)?mm\d|\bst\(", operands):
        return False  # movsd and cmpsd are string instructions only
    if base == "nop" and 0x0F in insn.bytes:
        return False  # the multi-byte NOP came with the Pentium Pro
    return True


def code_sections(pe):
    for section in pe.sections:
        if section.Characteristics & (pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_CNT_CODE"] |
                                      pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]):
            size = min(section.Misc_VirtualSize, section.SizeOfRawData)
            yield (pe.OPTIONAL_HEADER.ImageBase + section.VirtualAddress,
                   section.get_data()[:size])


def check(path, map_path=None):
    """The problems found, and the count of instructions by mnemonic."""
    pe = pefile.PE(path)
    is_64bit = pe.FILE_HEADER.Machine == 0x8664
    map_path = map_path or os.path.splitext(path)[0] + ".map"
    if not os.path.exists(map_path):
        return ["no link map %s" % map_path], {}
    data, symbols = read_map(map_path)
    disassembler = capstone.Cs(capstone.CS_ARCH_X86,
                               capstone.CS_MODE_64 if is_64bit else capstone.CS_MODE_32)
    problems, counts = [], {}
    for base, code in code_sections(pe):
        offset = 0
        while offset < len(code):
            address = base + offset
            skip = next((end for start, end in data if start <= address < end), None)
            if skip is not None:
                offset = skip - base
                continue
            stop = min([start - base for start, _ in data if start > address] + [len(code)])
            decoded_to = offset
            for insn in disassembler.disasm(code[offset:stop], address):
                decoded_to = insn.address + insn.size - base
                counts[insn.mnemonic] = counts.get(insn.mnemonic, 0) + 1
                if not allowed(insn, is_64bit):
                    problems.append("%s %s at 0x%x in %s" % (
                        insn.mnemonic, insn.op_str, insn.address,
                        function_at(symbols, insn.address)))
            if decoded_to < stop:
                problems.append("bytes that do not decode at 0x%x in %s" % (
                    base + decoded_to, function_at(symbols, base + decoded_to)))
                decoded_to += 1
            offset = decoded_to
    return problems, counts


def main(paths):
    failed = 0
    for path in paths:
        problems, counts = check(path)
        print("%s  %s: %d instructions" % ("ok  " if not problems else "FAIL", path,
                                           sum(counts.values())))
        for problem in problems:
            print("      " + problem)
        failed += bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
