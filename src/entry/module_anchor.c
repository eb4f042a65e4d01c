/* The module is made of the driver's internal library; this unit only gives
 * the module target a source of its own. */
typedef int plclink_module_anchor;
