/* The fake game's image spans the real game's address range: our own sections stay below
   0x500000 and a zero-filled, writable, executable section covers 0x500000..0xD00000, where
   the game's routines and variables live (0x526FC0, 0x53E230, 0x86C3A0, 0xB6F5F0, 0xC97B24...).
   The link fails with an overlap error if our own code ever grows into that range. */
SECTIONS
{
  .gta 0x500000 (NOLOAD) :
  {
    *(.gta)
  }
}
INSERT AFTER .bss;
