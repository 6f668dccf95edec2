<?xml version="1.0" ?>
<PARAMETERS_INFO_TEST_CMD>
   <MAIN_TEST_CMD>
      <output_folder>/data/out/</output_folder>
      <relative_orbit>USER_PARAMETER_TO_FILL</relative_orbit>
      <ratio>USER_OPTIONAL_PARAMETER</ratio>
      <orbits>
         <VectorInteger NumberOfElements = "2">
            <ValueInteger ID = "0">12</ValueInteger>
            <ValueInteger ID = "1">USER_OPTIONAL_PARAMETER</ValueInteger>
         </VectorInteger>
      </orbits>
   </MAIN_TEST_CMD>
   <GENERAL_PARAMETERS_CMD>
      <delete_temporary_files>OK</delete_temporary_files>
   </GENERAL_PARAMETERS_CMD>
</PARAMETERS_INFO_TEST_CMD>
